// The example plan under every fault the station can meet at every point it can
// meet it: a device read or power switch that fails at each access, a stop at
// each wait, a driver that says nothing, a diagnostic port that goes away. Each
// run must end as a run ends, keep the summary lines of the tests completed
// before, and let them be saved.

#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <optional>

#include "faults/PlanRun.h"
#include "platform/PseudoTerminal.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

using namespace std::chrono_literals;

// The healthy run of the example plan, and where each test's device accesses
// start: reads[t] reads and switches[t] power switches come before test t.
struct CleanRun {
    std::vector<std::string> summary;
    std::vector<std::int64_t> reads;
    std::vector<std::int64_t> switches;
    int labelledWaits = 0;
};

bool IsLabelledWait(const PostedMessage& message) {
    const auto* progress = std::get_if<ProgressMessage>(&message);
    return progress && progress->kind == ProgressWait && !progress->text.empty();
}

// Where each test's accesses start, taken as the test starts in one healthy
// run of the whole plan (virtual time makes every run the same). The last
// count is the whole plan's, without the switch-off the worker makes as it
// leaves the device: that write posts nothing, while each switch of a test
// shows "Setting output ..." in its row.
class AccessCounts final : public SessionObserver {
  public:
    explicit AccessCounts(SimulatedU3& device) : device_(device) {}
    void TestStarted(const TestStart&) override {
        reads.push_back(device_.Reads());
        switches.push_back(device_.PowerSwitches());
    }
    std::vector<std::int64_t> reads, switches;

  private:
    SimulatedU3& device_;
};

bool IsSwitchStatus(const PostedMessage& message) {
    const auto* progress = std::get_if<ProgressMessage>(&message);
    return progress && progress->kind == ProgressStatus &&
           progress->text.starts_with("Setting output ");
}

CleanRun MeasureCleanRun() {
    CleanRun clean;
    PlanRun run(ExamplePlan(), UnitProfile{});
    AccessCounts counts(run.Device());
    run.Session().Observers().Attach(counts);
    std::int64_t switchStatuses = 0;
    run.beforeHandling = [&](const PostedMessage& m) {
        clean.labelledWaits += IsLabelledWait(m) ? 1 : 0;
        switchStatuses += IsSwitchStatus(m) ? 1 : 0;
    };
    if (!run.StartAndRun()) {
        ADD_FAILURE() << "the clean run did not end";
    }
    run.Session().Observers().Detach(counts);
    clean.summary = run.Summary();
    clean.reads = counts.reads;
    clean.reads.push_back(run.Device().Reads());
    clean.switches = counts.switches;
    clean.switches.push_back(switchStatuses);
    return clean;
}

// Every way a run ends leaves the unit unpowered, but for a switch that fails.
bool LeftOff(PlanRun& run) {
    return !run.Device().Unit().Powered();
}

const CleanRun& Clean() {
    static const CleanRun clean = MeasureCleanRun();
    return clean;
}

// The test during which the access numbered `access` happens.
std::size_t TestOfAccess(const std::vector<std::int64_t>& before, std::int64_t access) {
    std::size_t test = 0;
    while (test + 1 < before.size() && before[test + 1] <= access) {
        ++test;
    }
    return test;
}

std::vector<std::string> FirstLines(std::size_t count) {
    const auto& all = Clean().summary;
    return {all.begin(), all.begin() + static_cast<std::ptrdiff_t>(std::min(count, all.size()))};
}

int casesRun = 0;

class FaultMatrix : public ::testing::Test {
  protected:
    static void TearDownTestSuite() {
        std::cout << "[ fault matrix ] " << casesRun << " faulted runs of the example plan\n";
    }

    // A device access that fails from access k on, in test t: the tests before
    // t keep their lines; test t ends without one unless only its closing
    // Time-to-OFF step met the fault (a failure there costs its figures, not
    // the test); no later test completes, since every one needs the device.
    ::testing::AssertionResult EndsAfterDeviceFault(PlanRun& run, std::size_t test,
                                                    bool onlyTheClosingStepFailed) {
        if (run.runDoneCount != 1) {
            return ::testing::AssertionFailure() << run.runDoneCount << " RunDone messages arrived";
        }
        const std::size_t verdicts = VerdictsLogged(run.Model());
        const std::size_t completed = onlyTheClosingStepFailed ? test + 1 : test;
        if (verdicts != completed) {
            return ::testing::AssertionFailure()
                   << verdicts << " tests reached a verdict; the fault came in test " << test;
        }
        std::vector<std::string> expected = FirstLines(test);
        if (verdicts == test + 1 && run.Summary().size() == test + 1) {
            expected.push_back(run.Summary().back());
        }
        if (auto ended = EndedWith(run, expected); !ended) {
            return ended;
        }
        return SavesTotals(run, folder.Path(), expected);
    }

    // `closingAccesses`: how many of a cycle test's last accesses belong to its
    // Time-to-OFF step.
    void RunDeviceFaults(std::int64_t accesses, const std::vector<std::int64_t>& before,
                         std::optional<std::int64_t> UnitProfile::*fault,
                         std::int64_t closingAccesses, const char* what) {
        ASSERT_GT(accesses, 0);
        for (std::int64_t k = 0; k < accesses; ++k) {
            UnitProfile unit;
            unit.*fault = k;
            PlanRun run(ExamplePlan(), unit);
            ++casesRun;
            ASSERT_TRUE(run.StartAndRun()) << what << " from access " << k << ": no end";
            const std::size_t test = TestOfAccess(before, k);
            const bool closing =
                ExamplePlan().plan.entries[test].P1 != 0 && k >= before[test + 1] - closingAccesses;
            EXPECT_TRUE(EndsAfterDeviceFault(run, test, closing)) << what << " from access " << k;
            EXPECT_TRUE(fault != &UnitProfile::failReadAfter || LeftOff(run))
                << what << " from access " << k;
        }
        std::cout << "[ fault matrix ] " << what << ": " << accesses << " runs\n";
    }

    TempFolder folder;
};

TEST_F(FaultMatrix, TheCleanRunCompletesEveryTest) {
    const std::size_t tests = ExamplePlan().plan.entries.size();
    ASSERT_EQ(tests, 5u);
    EXPECT_EQ(Clean().summary.size(), tests);
    EXPECT_GT(Clean().reads.back(), Clean().reads[tests - 1]);
    PlanRun run(ExamplePlan(), UnitProfile{});
    ++casesRun;
    ASSERT_TRUE(run.StartAndRun());
    EXPECT_EQ(run.runDoneCount, 1);
    EXPECT_EQ(VerdictsLogged(run.Model()), tests);
    EXPECT_TRUE(EndedWith(run, Clean().summary));
    EXPECT_TRUE(SavesTotals(run, folder.Path(), Clean().summary));
    EXPECT_TRUE(LeftOff(run));
    EXPECT_EQ(run.Device().PowerSwitches(), Clean().switches.back() + 1);
    EXPECT_EQ(Clean().reads.size(), tests + 1);
    std::cout << "[ fault matrix ] clean run: " << Clean().reads.back() << " reads, "
              << Clean().switches.back() << " power switches, " << Clean().labelledWaits
              << " waits\n";
}

TEST_F(FaultMatrix, AReadThatFailsAtEveryAccess) {
    // Time To OFF samples every 250 ms for timeToOffSeconds.
    const std::int64_t samples = 4 * SettingsRecord{}.timeToOffSeconds;
    RunDeviceFaults(Clean().reads.back(), Clean().reads, &UnitProfile::failReadAfter, samples,
                    "read failure");
}

TEST_F(FaultMatrix, APowerSwitchThatFailsAtEveryAccess) {
    // Time To OFF's one switch: the cut.
    RunDeviceFaults(Clean().switches.back(), Clean().switches, &UnitProfile::failOutputAfter, 1,
                    "power switch failure");
}

// A stop during a wait abandons that test: it gets no line, the worker still
// says it is done, and the controls are back from the moment of the press.
TEST_F(FaultMatrix, AStopAtEveryWait) {
    ASSERT_GT(Clean().labelledWaits, 0);
    for (int n = 1; n <= Clean().labelledWaits; ++n) {
        PlanRun run(ExamplePlan(), UnitProfile{});
        ++casesRun;
        // The worker runs ahead of the handler in virtual time: it waits at
        // the wait the stop is meant for.
        int posted = 0;  // the worker's count
        run.holdPosterUntilStop = [&](const PostedMessage& m) {
            return IsLabelledWait(m) && ++posted == n;
        };
        int seen = 0;
        std::optional<int> stopRow;
        run.beforeHandling = [&](const PostedMessage& m) {
            if (IsLabelledWait(m) && ++seen == n) {
                stopRow = std::get<ProgressMessage>(m).row;
                run.PressStartStop();
            }
        };
        ASSERT_TRUE(run.StartAndRun()) << "stop at wait " << n << ": no end";
        ASSERT_TRUE(stopRow) << "wait " << n << " never came";
        EXPECT_EQ(run.runDoneCount, 1) << "stop at wait " << n;
        const auto expected = FirstLines(static_cast<std::size_t>(*stopRow));
        EXPECT_TRUE(EndedWith(run, expected)) << "stop at wait " << n;
        EXPECT_TRUE(SavesTotals(run, folder.Path(), expected)) << "stop at wait " << n;
        EXPECT_TRUE(LeftOff(run)) << "stop at wait " << n;
    }
    std::cout << "[ fault matrix ] stop at a wait: " << Clean().labelledWaits << " runs\n";
}

bool IsVerdict(const PostedMessage& message) {
    const auto* progress = std::get_if<ProgressMessage>(&message);
    return progress && progress->kind == ProgressLog && IsVerdictLine(progress->text);
}

// A stop that lands after a test's last look at the run flag but before the
// worker's own: the test ran to its verdict, yet the run ends right there,
// without that test's line and without RunDone; the press itself gave the
// controls back.
TEST_F(FaultMatrix, AStopBetweenEveryTwoTests) {
    const std::size_t tests = ExamplePlan().plan.entries.size();
    for (std::size_t t = 0; t < tests; ++t) {
        PlanRun run(ExamplePlan(), UnitProfile{});
        ++casesRun;
        std::size_t posted = 0;  // the worker's count
        run.holdPosterUntilStop = [&](const PostedMessage& m) {
            return IsVerdict(m) && ++posted == t + 1;
        };
        std::size_t handled = 0;
        run.beforeHandling = [&](const PostedMessage& m) {
            if (IsVerdict(m) && ++handled == t + 1) {
                run.PressStartStop();
            }
        };
        ASSERT_TRUE(run.StartAndRun()) << "stop after test " << t << ": no end";
        EXPECT_EQ(VerdictsLogged(run.Model()), t + 1) << "stop after test " << t;
        EXPECT_EQ(run.runDoneCount, 0) << "stop after test " << t;
        EXPECT_TRUE(EndedWith(run, FirstLines(t))) << "stop after test " << t;
        EXPECT_TRUE(SavesTotals(run, folder.Path(), FirstLines(t))) << "stop after test " << t;
        EXPECT_TRUE(LeftOff(run)) << "stop after test " << t;
    }
    std::cout << "[ fault matrix ] stop between tests: " << tests << " runs\n";
}

TEST_F(FaultMatrix, ASilentDiagnosticPortCostsOnlyTheDiagnosticFigures) {
    UnitProfile unit;
    unit.diagSilent = true;
    PlanRun run(ExamplePlan(), unit);
    ++casesRun;
    ASSERT_TRUE(run.StartAndRun());
    const auto& log = run.Model().LogLines();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Too fast. No dignostic data. Delay = 0"), 4);
    EXPECT_EQ(run.diagLines, 0u);
    EXPECT_EQ(run.runDoneCount, 1);
    EXPECT_EQ(VerdictsLogged(run.Model()), Clean().summary.size());
    ASSERT_EQ(run.Summary().size(), Clean().summary.size());
    const auto summary = run.Summary();
    EXPECT_TRUE(EndedWith(run, summary));
    EXPECT_TRUE(SavesTotals(run, folder.Path(), summary));
}

// The diagnostic link reads a port whose far end is pulled out in the middle of
// the run: it says so, and the run goes on to its end as if nothing happened.
TEST_F(FaultMatrix, ADiagnosticPortThatVanishesMidRun) {
    auto pty = PseudoTerminal::Open();
    if (!pty) {
        GTEST_SKIP() << "no pseudo-terminal to be had";
    }
    PlanRun run(ExamplePlan(), UnitProfile{});
    ++casesRun;
    ASSERT_TRUE(run.Session().OpenLink(pty->SlavePath(), 115200))
        << run.Session().Status().linkOpenError;
    ASSERT_EQ(pty->Write("1 2 3\r\n", 1000).error, 0);
    ASSERT_TRUE(run.PumpUntil([&] { return run.diagLines == 1; }, 10s));

    int waits = 0;
    run.beforeHandling = [&](const PostedMessage& m) {
        if (IsLabelledWait(m) && ++waits == Clean().labelledWaits / 2) {
            pty->CloseMaster();
        }
    };
    ASSERT_TRUE(run.StartAndRun());
    EXPECT_FALSE(pty->MasterOpen());
    ASSERT_TRUE(run.PumpUntil([&] { return !run.diagErrors.empty(); }, 10s));
    EXPECT_EQ(run.diagErrors.front().rfind("ReceiveTask: ", 0), 0u) << run.diagErrors.front();
    run.Session().CloseDiagnostics();

    EXPECT_EQ(run.runDoneCount, 1);
    EXPECT_TRUE(EndedWith(run, Clean().summary));
    EXPECT_TRUE(SavesTotals(run, folder.Path(), Clean().summary));
}

}  // namespace
}  // namespace orvalt::test
