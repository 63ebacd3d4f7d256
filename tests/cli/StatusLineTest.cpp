// The runner's status line: what it says, how often it is redrawn, and that
// it appears only on a terminal (the real program, its stderr on a
// pseudo-terminal), with stdout the same bytes either way.

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sstream>

#include "cli/StatusLine.h"
#include "platform/UniqueFd.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace orvalt {
namespace {

using namespace std::chrono_literals;
using Clock = StatusLine::Clock;

// A run's status as the session publishes it: test `test` of `tests`, in a
// 20 s wait announced as `wait` with `leftMs` to go.
RunStatusNow Status(int test, int tests, const std::string& wait, std::int32_t leftMs) {
    RunStatusNow status;
    status.begun = true;
    status.tests = tests;
    status.test = test;
    if (!wait.empty()) {
        status.wait = WaitNow{wait, 20000, leftMs, leftMs > 0};
    }
    return status;
}

TEST(StatusLine, ShowsTheTestTheWaitCountingDownAndTheLastReading) {
    std::ostringstream terminal;
    const StatusLine line(terminal);
    RunStatusNow status = Status(1, 5, "Wait 20.00 secs for to ensure OFF", 12500);
    status.reading = LightReading{4.5, 0};
    EXPECT_EQ(line.Text(status),
              "Test 2 of 5 | Wait 20.00 secs for to ensure OFF (12.5 s left) | "
              "Reading voltage = 4.50 #1");
    status.wait->leftMs = 0;  // run out: still the wait announced last
    EXPECT_NE(line.Text(status).find("(0.0 s left)"), std::string::npos);
    status.wait->ms = 0;  // not a timed wait: no countdown
    EXPECT_EQ(line.Text(status).find("left"), std::string::npos);
    status.test = -1;
    status.wait.reset();
    status.reading.reset();
    EXPECT_EQ(line.Text(status), "Starting");
}

TEST(StatusLine, RedrawsAtMostTenTimesASecondAndClearsBeforeALogLine) {
    std::ostringstream terminal;
    StatusLine line(terminal);
    RunStatusNow status = Status(0, 3, {}, 0);
    const Clock::time_point t0 = Clock::now();
    for (int ms = 0; ms < 1000; ms += 5) {  // a change every 5 ms for a second
        status.reading = LightReading{ms / 1000.0, 0};
        line.DrawIfDue(status, t0 + std::chrono::milliseconds(ms));
    }
    EXPECT_EQ(test::CountOf(terminal.str(), "\r\x1b[K"), 10u);
    line.Clear();
    EXPECT_TRUE(terminal.str().ends_with("\r\x1b[K"));
    const std::size_t cleared = terminal.str().size();
    line.Clear();  // nothing shown: nothing written
    EXPECT_EQ(terminal.str().size(), cleared);
    line.DrawIfDue(status, t0 + 5s);
    line.DrawIfDue(status, t0 + 6s);  // unchanged: not drawn again
    EXPECT_EQ(test::CountOf(terminal.str(), "\r\x1b[K"), 12u);
}

// Every state the line can be in, at every width from a tiny terminal to a
// wide one: never the last column, and the test's place and countdown stay as
// long as there is room for them.
TEST(StatusLine, NeverReachesTheTerminalsLastColumnAndTheWaitGivesWayFirst) {
    const std::string wait = "Wait 20.00 secs for to ensure OFF before the next power switch";
    for (int columns = 2; columns <= 160; ++columns) {
        for (const bool reading : {false, true}) {
            std::ostringstream terminal;
            StatusLine line(terminal);
            line.SetColumns(columns);
            RunStatusNow status = Status(10, 12, wait, 18000);
            if (reading) {
                status.reading = LightReading{4.5, 11};
            }
            const std::string text = line.Text(status);
            ASSERT_LT(text.size(), static_cast<std::size_t>(columns)) << columns;
            line.SetColumns(std::nullopt);
            const std::string full = line.Text(status);
            if (full.size() < static_cast<std::size_t>(columns)) {
                EXPECT_EQ(text, full);
            } else if (columns >= 40) {
                EXPECT_TRUE(text.starts_with("Test 11 of 12 | Wait")) << text;
                EXPECT_NE(text.find("... (18.0 s left)"), std::string::npos) << text;
            }
            if (columns >= 80) {
                EXPECT_EQ(text.find("Reading voltage = 4.50 #12") != std::string::npos, reading);
            }
        }
    }
}

struct Captured {
    std::string out;
    std::string err;
};

// Everything the terminal (a pseudo-terminal's master) shows until the
// program ends.
std::string ReadUntilEnded(int master, pid_t pid) {
    std::string shown;
    for (std::optional<test::ProgramEnd> end; !end;) {
        end = test::ProgramEnded(pid, false);
        if (end) {
            EXPECT_EQ(end->exitStatus, 0) << "signal " << end->signal;
        }
        pollfd ready{master, POLLIN, 0};
        char buffer[4096];
        while (::poll(&ready, 1, end ? 0 : 20) > 0 && (ready.revents & POLLIN)) {
            const ssize_t got = ::read(master, buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            shown.append(buffer, static_cast<std::size_t>(got));
        }
    }
    return shown;
}

// Runs the program with stdout to a file and stderr on a pseudo-terminal
// (terminal) or a file, and gathers both.
Captured RunProgram(const std::vector<std::string>& args, bool terminal,
                    const std::filesystem::path& folder) {
    const UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY));
    EXPECT_TRUE(master.Valid());
    ::grantpt(master.Get());
    ::unlockpt(master.Get());
    const auto outFile = folder / "out.txt";
    const auto errFile = folder / "err.txt";
    const UniqueFd out(::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    const UniqueFd err(terminal ? ::open(::ptsname(master.Get()), O_RDWR | O_NOCTTY)
                                : ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    std::vector<std::string> words{ORVALT_CLI_PATH};
    words.insert(words.end(), args.begin(), args.end());
    const pid_t pid = test::StartProgram(test::ProgramLaunch{
        words,
        {"XDG_CONFIG_HOME=" + folder.string(), "XDG_DATA_HOME=" + folder.string()},
        out.Get(),
        err.Get(),
        {}});
    Captured captured;
    captured.err = ReadUntilEnded(master.Get(), pid);
    captured.out = test::ReadBytes(outFile);
    if (!terminal) {
        captured.err = test::ReadBytes(errFile);
    }
    return captured;
}

TEST(StatusLine, OnlyOnATerminalAndNeverInTheLog) {
    test::TempFolder folder;
    const auto plan = folder / "plan.csv";
    test::WriteBytes(plan, "h\nh\nA,0,0.2,0.2,1.0,5000,2\n");
    const Captured piped = RunProgram({"--simulate", plan.string()}, false, folder.Path());
    const Captured shown = RunProgram({"--simulate", plan.string()}, true, folder.Path());
    const Captured quiet =
        RunProgram({"--simulate", "--quiet", plan.string()}, true, folder.Path());
    // Only the run end's word on the unit's power, as without a status line.
    EXPECT_EQ(piped.err, "Unit power switched off\n");
    EXPECT_NE(shown.err.find("Test 1 of 1 | Wait 0.20 secs for"), std::string::npos) << shown.err;
    EXPECT_EQ(quiet.err, "Unit power switched off\r\n");
    EXPECT_FALSE(piped.out.empty());
    // The log is the same bytes, apart from the summary line's date, which
    // all three runs share.
    EXPECT_EQ(shown.out, piped.out);
    EXPECT_EQ(quiet.out, piped.out);
}

// The status line's drawings in what the terminal was sent: each one begins
// by returning to the line's start and erasing it.
std::vector<std::string> Drawings(const std::string& shown) {
    std::vector<std::string> drawings;
    constexpr std::string_view erase = "\r\x1b[K";
    for (std::size_t at = shown.find(erase); at != std::string::npos;) {
        const std::size_t next = shown.find(erase, at + erase.size());
        std::string drawing = shown.substr(at + erase.size(), next - at - erase.size());
        if (!drawing.empty() && drawing.find("Unit power") == std::string::npos) {
            drawings.push_back(drawing);
        }
        at = next;
    }
    return drawings;
}

void SetColumns(int master, unsigned short columns) {
    winsize size{};
    size.ws_row = 24;
    size.ws_col = columns;
    ASSERT_EQ(::ioctl(master, TIOCSWINSZ, &size), 0);
}

// The real program on a 40-column terminal that is widened to 70 while the
// run goes on: every drawing fits the width it was drawn for, stays on its one
// line, and the wider terminal is used once the program was told.
TEST(StatusLine, FitsTheTerminalReadAtStartAndAfterEachResize) {
    test::TempFolder folder;
    const auto plan = folder / "plan.csv";
    test::WriteBytes(plan, "h\nh\nA,0,2.5,0.2,1.0,5000,1\n");
    const UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY));
    ASSERT_TRUE(master.Valid());
    ::grantpt(master.Get());
    ::unlockpt(master.Get());
    SetColumns(master.Get(), 40);
    const UniqueFd out(::open((folder / "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    const UniqueFd err(::open(::ptsname(master.Get()), O_RDWR | O_NOCTTY));
    const pid_t pid = test::StartProgram(test::ProgramLaunch{
        {ORVALT_CLI_PATH, "--simulate", plan.string()},
        {"XDG_CONFIG_HOME=" + folder.Path().string(), "XDG_DATA_HOME=" + folder.Path().string()},
        out.Get(),
        err.Get(),
        {}});
    std::string narrow;
    std::string wide;
    bool widened = false;
    for (std::optional<test::ProgramEnd> end; !end;) {
        end = test::ProgramEnded(pid, false);
        pollfd ready{master.Get(), POLLIN, 0};
        char buffer[4096];
        while (::poll(&ready, 1, end ? 0 : 20) > 0 && (ready.revents & POLLIN)) {
            const ssize_t got = ::read(master.Get(), buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            (widened ? wide : narrow).append(buffer, static_cast<std::size_t>(got));
        }
        if (!widened && Drawings(narrow).size() >= 2) {
            SetColumns(master.Get(), 70);
            ::kill(pid, SIGWINCH);
            widened = true;
        }
    }
    ASSERT_TRUE(widened) << narrow;
    std::size_t widest = 0;
    for (const std::string& drawing : Drawings(narrow)) {
        EXPECT_LT(drawing.size(), 40u) << drawing;
    }
    for (const std::string& drawing : Drawings(wide)) {
        EXPECT_EQ(drawing.find_first_of("\r\n"), std::string::npos) << drawing;
        widest = std::max(widest, drawing.size());
    }
    EXPECT_GT(widest, 40u) << wide;
    EXPECT_LT(widest, 70u) << wide;
}

}  // namespace
}  // namespace orvalt
