// history, yield, report and rejudge as a shell runs them: output that is lost, a
// file-size limit on the report, and a --db password the process list must
// not show.

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "cli/ExitStatus.h"
#include "platform/UniqueFd.h"
#include "recording/RunRecorder.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;

class RecordsCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        {
            // Sealed with the key the commands find beside the station's own.
            RunRecorder recorder(
                {db.string(),
                 folder / "spool.sqlite",
                 std::chrono::milliseconds(0),
                 {},
                 StationKeyPlace{folder / "Kestrune" / "Orvalt" / "station-key.pem", true}});
            RunStart run;
            run.unit.model = "X100";
            run.unit.serial = "SN-1";
            recorder.BeginRun(run);
            recorder.EndRun({});
        }
        // Read without a shared-memory index, which a file-size limit would refuse.
        auto opened = OpenSqlConnection(db.string());
        ASSERT_TRUE(opened.Ok()) << opened.Error();
        ASSERT_TRUE((*opened)->Run("PRAGMA journal_mode=DELETE").Ok());
    }

    pid_t Start(const std::vector<std::string>& args, int outFd,
                const std::function<void()>& inChild = {}) {
        std::vector<std::string> words{ORVALT_CLI_PATH};
        words.insert(words.end(), args.begin(), args.end());
        const UniqueFd errFd(
            ::open((folder / "err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        return StartProgram(ProgramLaunch{words,
                                          {"XDG_CONFIG_HOME=" + folder.Path().string(),
                                           "XDG_DATA_HOME=" + folder.Path().string()},
                                          outFd,
                                          errFd.Get(),
                                          inChild});
    }

    ProgramEnd Run(const std::vector<std::string>& args, int outFd,
                   const std::function<void()>& inChild = {}) {
        const ProgramEnd ended = *ProgramEnded(Start(args, outFd, inChild));
        err = ReadBytes(folder / "err.txt");
        return ended;
    }

    TempFolder folder;
    const fs::path db = folder / "results.sqlite";
    std::string err;
};

TEST_F(RecordsCommands, LostOutputIsSaidOnceAndFailsTheExitStatus) {
    for (const char* command : {"history", "yield", "rejudge"}) {
        const UniqueFd full(::open("/dev/full", O_WRONLY));
        ASSERT_TRUE(full.Valid());
        const ProgramEnd ended = Run({command, "--db", db.string()}, full.Get());
        EXPECT_EQ(ended.exitStatus, 4) << command << " signal " << ended.signal;
        EXPECT_EQ(CountOf(err, "Can't write standard output: No space left on device\n"), 1u)
            << err;

        const ProgramEnd closed =
            Run({command, "--db", db.string()}, -1, [] { ::close(STDOUT_FILENO); });
        EXPECT_EQ(closed.exitStatus, 4) << command << " signal " << closed.signal;
        EXPECT_EQ(CountOf(err, "Can't write standard output: Bad file descriptor\n"), 1u) << err;
    }
}

TEST_F(RecordsCommands, AReportBeyondTheFileSizeLimitIsAWriteFailure) {
    const fs::path page = folder / "report.html";
    const UniqueFd null(::open("/dev/null", O_WRONLY));
    const ProgramEnd ended =
        Run({"report", "--last", "--out", page.string(), "--db", db.string()}, null.Get(), [] {
            rlimit limit{1024, 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    EXPECT_EQ(ended.exitStatus, 4) << "signal " << ended.signal;
    EXPECT_NE(err.find("Can't write " + page.string() + ": File too large"), std::string::npos)
        << err;
    EXPECT_FALSE(fs::exists(page));
}

// A server that takes the connection and never answers keeps the command
// waiting long enough to look at its process title, which has by then been
// rewritten.
TEST_F(RecordsCommands, APasswordInTheUrlIsNeitherInTheProcessListNorInTheMessages) {
    const UniqueFd server(::socket(AF_UNIX, SOCK_STREAM, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (folder / ".s.PGSQL.5432").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(server.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(server.Get(), 4), 0);

    const std::string url =
        "postgresql://orvalt:s3cr%40t@/orvalt?connect_timeout=2&host=" + folder.Path().string() +
        "&password=0ther9";
    const UniqueFd out(::open((folder / "out.txt").c_str(), O_WRONLY | O_CREAT, 0644));
    const pid_t pid = Start({"history", "--db", url}, out.Get());
    pollfd connecting{server.Get(), POLLIN, 0};
    EXPECT_EQ(::poll(&connecting, 1, 10000), 1) << "the command never tried the server";
    const std::string title = ReadBytes("/proc/" + std::to_string(pid) + "/cmdline");
    const ProgramEnd ended = *ProgramEnded(pid);
    err = ReadBytes(folder / "err.txt");
    EXPECT_NE(title.find("postgresql://orvalt"), std::string::npos) << title;
    for (const char* secret : {"s3cr", "0ther9"})
        EXPECT_EQ(title.find(secret), std::string::npos) << title;
    EXPECT_EQ(ended.exitStatus, kExitRecordsUnreadable);
    EXPECT_NE(err.find("Results server postgresql://orvalt@/orvalt?connect_timeout=2&host="),
              std::string::npos)
        << err;
    for (const char* secret : {"s3cr", "0ther9"})
        EXPECT_EQ(err.find(secret), std::string::npos) << err;
}

// SQLite opens what stands at the path and waits on a pipe until something
// writes to it, and reads a device as an empty database: every command that
// reads the records refuses both, and a folder, in words and at once, the
// journal's place too.
TEST_F(RecordsCommands, ADatabaseThatIsNoRegularFileIsRefusedAtOnce) {
    const fs::path pipe = folder / "pipe.sqlite";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const fs::path inFolder = folder / "folder.sqlite";
    fs::create_directory(inFolder);
    ASSERT_EQ(::mkfifo((db.string() + "-journal").c_str(), 0600), 0);
    const std::pair<fs::path, std::string> targets[] = {
        {pipe, "not a regular file"},
        {"/dev/zero", "not a regular file"},
        {inFolder, "not a regular file"},
        {db, db.string() + "-journal beside it is not a regular file"}};
    const std::vector<std::vector<std::string>> commands = {
        {"rejudge"},
        {"rejudge", "--run", "x"},
        {"history"},
        {"yield"},
        {"report", "--last", "--out", (folder / "page.html").string()},
        {"export", "--format", "json", "--since", "2020-01-01"},
        {"spc", "--model", "X100"},
        {"alarms"}};
    const UniqueFd null(::open("/dev/null", O_WRONLY));
    for (const auto& [target, reason] : targets) {
        for (std::vector<std::string> args : commands) {
            const std::string command = args.front();
            args.insert(args.end(), {"--db", target.string()});
            const ProgramEnd ended =
                ProgramEndedWithin(Start(args, null.Get()), std::chrono::seconds(10));
            err = ReadBytes(folder / "err.txt");
            EXPECT_EQ(ended.exitStatus, kExitRecordsUnreadable)
                << command << " " << target << " signal " << ended.signal;
            EXPECT_EQ(err, "Results database " + target.string() + ": " + reason + "\n") << command;
        }
    }
}

}  // namespace
}  // namespace orvalt::test
