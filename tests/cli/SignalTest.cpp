// orvalt-cli itself, run as a child process, under what a shell and a terminal
// do to it: a reader that goes away, a full output device, a closed terminal
// (SIGHUP), a file-size limit. The run ends as a run ends and its results are
// saved whole.

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include "platform/UniqueFd.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;

using Ended = ProgramEnd;

class CliSignals : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteBytes(plan, "header\nheader\nA,1.5,2,0.25,3,6\n\nB,0,5,5,2.0,5000,2\n");
        fs::create_directory(folder / "config");
        fs::create_directory(folder / "results");
    }

    // Starts orvalt-cli with `args` and its output on `outFd`; `inChild` runs
    // in the child before the program starts.
    pid_t Start(const std::vector<std::string>& args, int outFd,
                const std::function<void()>& inChild = {}) {
        std::vector<std::string> words{ORVALT_CLI_PATH};
        words.insert(words.end(), args.begin(), args.end());
        const UniqueFd errFd(::open((folder / "err.txt").c_str(), O_WRONLY | O_CREAT, 0644));
        return StartProgram(ProgramLaunch{words,
                                          {"XDG_CONFIG_HOME=" + (folder / "config").string(),
                                           "XDG_DATA_HOME=" + (folder / "data").string()},
                                          outFd,
                                          errFd.Get(),
                                          inChild});
    }

    Ended Wait(pid_t pid) {
        const Ended ended = *ProgramEnded(pid);
        err = ReadBytes(folder / "err.txt");
        return ended;
    }

    Ended Run(const std::vector<std::string>& args, int outFd,
              const std::function<void()>& inChild = {}) {
        return Wait(Start(args, outFd, inChild));
    }

    std::vector<std::string> FastRunSavingTo(const fs::path& file) {
        return {"--simulate", "--fast", "--save", file.string(), plan.string()};
    }

    bool Saved() const {
        return !ReadBytes(saveFile).empty() && !ReadBytes(folder / "results/totalsums.csv").empty();
    }

    std::size_t HiddenFiles() const {
        std::size_t hidden = 0;
        for (const auto& entry : fs::directory_iterator(folder / "results")) {
            hidden += entry.path().filename().string().starts_with(".") ? 1 : 0;
        }
        return hidden;
    }

    TempFolder folder;
    const fs::path plan = folder / "plan.csv";
    const fs::path saveFile = folder / "results/run.csv";
    std::string err;
};

TEST_F(CliSignals, AReaderThatGoesAwayIsToldOnceAndTheRunIsStillSaved) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);  // as `| head -1` after its line
    const Ended ended = Run(FastRunSavingTo(saveFile), fds[1]);
    ::close(fds[1]);
    EXPECT_EQ(ended.exitStatus, 0) << "signal " << ended.signal;
    EXPECT_EQ(CountOf(err, "Can't write standard output: Broken pipe\n"), 1u) << err;
    EXPECT_TRUE(Saved());
}

TEST_F(CliSignals, AFullOutputDeviceIsReportedAndFailsTheExitStatus) {
    const int full = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    const Ended ended = Run(FastRunSavingTo(saveFile), full);
    ::close(full);
    EXPECT_EQ(ended.exitStatus, 4) << "signal " << ended.signal;
    EXPECT_EQ(CountOf(err, "Can't write standard output: No space left on device\n"), 1u) << err;
    EXPECT_TRUE(Saved());
}

// A real-time run shows its lines as they happen; a closed terminal then stops
// it as Stop would, and what it did is saved.
TEST_F(CliSignals, AClosedTerminalStopsTheRunAndItIsSaved) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t pid =
        Start({"--simulate", "--trace", "--save", saveFile.string(), plan.string()}, fds[1]);
    ::close(fds[1]);
    // A child under a sanitizer on a busy machine may take many seconds to
    // print: a closed terminal before it has set up its signals would end it
    // as the default action does, which is not what this test is about.
    pollfd firstLine{fds[0], POLLIN, 0};
    EXPECT_EQ(::poll(&firstLine, 1, 60000), 1) << "no line while the run went on";
    ::kill(pid, SIGHUP);
    const Ended ended = Wait(pid);
    ::close(fds[0]);
    EXPECT_EQ(ended.exitStatus, 1) << "signal " << ended.signal;
    EXPECT_FALSE(ReadBytes(saveFile).empty());
    EXPECT_EQ(HiddenFiles(), 0u);
}

// Under `ulimit -f` the totals line does not fit: the write fails, the totals
// file is cut back whole, and the failure is reported like any other.
TEST_F(CliSignals, AFileSizeLimitLeavesTheTotalsWhole) {
    constexpr long kLimit = 256 * 1024;
    const fs::path totals = folder / "results/totalsums.csv";
    std::string lines;
    while (lines.size() < kLimit - 40) {
        lines += "12-06-26, 1, 0, Old, X100, 2.51\r\n";
    }
    WriteBytes(totals, lines);
    const int null = ::open("/dev/null", O_WRONLY);
    const Ended ended = Run(FastRunSavingTo(saveFile), null, [] {
        rlimit limit{kLimit, kLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    ::close(null);
    EXPECT_EQ(ended.exitStatus, 4) << "signal " << ended.signal;
    EXPECT_NE(err.find("Can't write " + totals.string() + ": File too large"), std::string::npos)
        << err;
    EXPECT_EQ(ReadBytes(totals), lines);
    EXPECT_EQ(HiddenFiles(), 0u);
}

}  // namespace
}  // namespace orvalt::test
