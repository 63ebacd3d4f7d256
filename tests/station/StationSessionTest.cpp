#include "station/StationSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "config/SettingsTable.h"
#include "config/TestPlanFile.h"
#include "platform/ThreadSwitches.h"
#include "support/SessionDriving.h"
#include "support/TempFolder.h"

namespace orvalt {
namespace {

using namespace std::chrono_literals;

const LoadedPlan& ExamplePlan() {
    static const LoadedPlan plan =
        LoadTestPlanFile(std::filesystem::path(ORVALT_SOURCE_DIR) / "examples" / "TestCfg.csv")
            .Value();
    return plan;
}

struct RunResult {
    std::vector<std::string> log;
    // As the observers were told them, and how many the summary table holds.
    std::vector<std::string> summary;
    std::size_t completedTests = 0;
};

// Counts what a run told its observers, checking the time stamps as it goes.
class CountingObserver final : public SessionObserver {
  public:
    void RunEnded(int, RunEnd how) override { ends.push_back(how); }
    void TestStarted(const TestStart&) override { lastMs = 0; }
    void TestEnded(const TestEnd& test) override {
        if (test.completed) {
            summaryLines.push_back(test.summaryLine);
        }
    }
    void VoltageRead(const VoltageReading& reading) override {
        statuses.push_back(reading.status);
        Stamp(reading.time.ms);
    }
    void PowerSwitched(const PowerSwitch& change) override {
        ++switches;
        Stamp(change.time.ms);
    }
    void DiagLineDecoded(const DiagLine&, const EventTime&) override { ++diagLines; }

    std::vector<RunEnd> ends;
    std::vector<std::string> summaryLines;
    std::vector<std::string> statuses;
    int switches = 0;
    int diagLines = 0;
    int timeWentBack = 0;

  private:
    void Stamp(std::int64_t ms) {
        timeWentBack += ms < lastMs ? 1 : 0;
        lastMs = ms;
    }
    std::int64_t lastMs = 0;
};

// A session on the simulator in virtual time with the example plan loaded.
std::unique_ptr<StationSession> ExampleSession(const UnitProfile& unit, bool extraLog = false) {
    auto session =
        std::make_unique<StationSession>(SessionOptions{StationOptions{true, true, unit, {}}, {}});
    SessionFront front;
    front.runHooks = RunControlHooks{[] { return true; }, [](const std::string&) {}};
    session->Attach(std::move(front));
    session->HearSimulatedDiagLines();
    session->UsePlan(ExamplePlan().plan, ExamplePlan().rows);
    DialogValues values = session->Model().values;
    values.description = UnitDescription{"Acme", "X1", "", "", "", "", ""};
    values.extraLog = extraLog ? 1 : 0;
    session->SetDialogValues(values);
    return session;
}

// Starts a run and handles posts on this thread until it is over.
RunResult RunToEnd(StationSession& session) {
    test::SummaryWatch summary;
    session.Observers().Attach(summary);
    EXPECT_TRUE(session.Start().Started());
    test::HandleUntilRunOver(session, 60s);
    session.CloseDiagnostics();
    session.HandlePending();
    session.Observers().Detach(summary);
    return RunResult{session.Model().LogLines(), summary.Lines(), session.Status().completedTests};
}

// Whether `lines` stand in `log` in their order, others between them.
bool InOrderIn(const std::vector<std::string>& lines, const std::vector<std::string>& log) {
    auto from = log.begin();
    for (const std::string& line : lines) {
        from = std::find(from, log.end(), line);
        if (from == log.end()) {
            return false;
        }
        ++from;
    }
    return true;
}

UnitProfile SlowDriver() {
    UnitProfile unit;
    unit.levelMs = 5000;
    unit.diagDelay = 0x321;
    unit.diagSaveLevelOffset = 1;
    return unit;
}

// Each session has its own unit, device, clock and link: two at once give
// byte for byte what each gives alone.
TEST(StationSession, TwoSessionsSideBySideRunAsEachRunsAlone) {
    const RunResult aloneA = RunToEnd(*ExampleSession(UnitProfile{}));
    const RunResult aloneB = RunToEnd(*ExampleSession(SlowDriver()));
    ASSERT_FALSE(aloneA.summary.empty());
    EXPECT_EQ(aloneA.summary.size(), aloneA.completedTests);
    ASSERT_NE(aloneA.log, aloneB.log) << "the two profiles must tell apart";

    auto sessionA = ExampleSession(UnitProfile{});
    auto sessionB = ExampleSession(SlowDriver());
    RunResult togetherA;
    RunResult togetherB;
    std::thread other([&] { togetherB = RunToEnd(*sessionB); });
    togetherA = RunToEnd(*sessionA);
    other.join();
    EXPECT_EQ(togetherA.log, aloneA.log);
    EXPECT_EQ(togetherA.summary, aloneA.summary);
    EXPECT_EQ(togetherB.log, aloneB.log);
    EXPECT_EQ(togetherB.summary, aloneB.summary);
}

// With Extra Log every reading and switch is also logged: the observer saw
// exactly those, in order, with the time running forward within each test,
// and then the switch-off the worker makes, unlogged, as it leaves the device
// (the example plan's last test ends with the unit on).
TEST(StationSession, AnObserverSeesEveryReadingSwitchTestAndDiagnosticLine) {
    auto session = ExampleSession(UnitProfile{}, true);
    CountingObserver observer;
    session->Observers().Attach(observer);
    const RunResult run = RunToEnd(*session);
    session->Observers().Detach(observer);

    std::vector<std::string> readingsLogged;
    int switchesLogged = 0;
    for (const std::string& line : run.log) {
        if (line.rfind("Reading voltage = ", 0) == 0) {
            readingsLogged.push_back(line);
        }
        switchesLogged += line.rfind("Setting output ", 0) == 0 ? 1 : 0;
    }
    ASSERT_FALSE(readingsLogged.empty());
    EXPECT_EQ(observer.statuses, readingsLogged);
    EXPECT_EQ(observer.switches, switchesLogged + 1);
    EXPECT_EQ(observer.timeWentBack, 0);
    // Each completed test's summary line is also the log's line after it.
    EXPECT_EQ(observer.summaryLines.size(), run.completedTests);
    EXPECT_TRUE(InOrderIn(observer.summaryLines, run.log));
    EXPECT_EQ(observer.ends, std::vector<RunEnd>{RunEnd::Completed});
    EXPECT_GT(observer.diagLines, 0);
    EXPECT_EQ(static_cast<std::size_t>(observer.diagLines), session->Status().diagLinesHandled);
}

// What the worker gave up the processor for between its first and its last
// reading, seen on its own thread.
class WorkerSwitches final : public SessionObserver {
  public:
    void VoltageRead(const VoltageReading&) override {
        const ThreadSwitches now = ThreadContextSwitches();
        if (readings++ == 0) {
            first = now;
        }
        last = now;
    }
    long Waits() const { return last.voluntary - first.voluntary; }

    int readings = 0;

  private:
    ThreadSwitches first;
    ThreadSwitches last;
};

// In virtual time the worker hands its messages to the handler thread in
// batches: it waits for the handler a few times a run, not at every sleep.
TEST(StationSession, VirtualTimeDoesNotWaitForTheHandlerAtEveryReading) {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    // Under a sanitizer every lock the worker takes, its own and the
    // sanitizer's allocator's, may make it yield, the more so on a loaded
    // machine: the count would measure the sanitizer, not the hand-over.
    GTEST_SKIP() << "context switches are not the hand-over's under a sanitizer";
#endif
    auto session = ExampleSession(UnitProfile{}, true);
    WorkerSwitches switches;
    session->Observers().Attach(switches);
    const RunResult run = RunToEnd(*session);
    session->Observers().Detach(switches);
    ASSERT_FALSE(run.summary.empty());
    ASSERT_GT(switches.readings, 1000);
    // Lock-step waited at about every other reading; a batch waits far less
    // often, and the margin leaves room for a loaded machine's own switches.
    EXPECT_LT(switches.Waits(), switches.readings / 8);
}

// A stop tells the observers how the run ended.
TEST(StationSession, AStoppedRunEndsAsStopped) {
    auto session = ExampleSession(UnitProfile{});
    CountingObserver observer;
    session->Observers().Attach(observer);
    ASSERT_TRUE(session->Start().Started());
    while (session->Model().LogLines().empty()) {
        session->HandleNext(5ms);
    }
    EXPECT_TRUE(session->Stop());
    session->Observers().Detach(observer);
    EXPECT_EQ(observer.ends, std::vector<RunEnd>{RunEnd::Stopped});
    EXPECT_EQ(session->Status().run.end, RunEnd::Stopped);
}

}  // namespace
}  // namespace orvalt

namespace orvalt {
namespace {

// A unit that cycles quickly, in real time, so one cycle test takes seconds.
UnitProfile QuickUnit() {
    UnitProfile unit;
    unit.startMs = 300;
    unit.levelMs = 400;
    unit.offTauMs = 50;
    unit.diagPeriodMs = 50;
    return unit;
}

// The Time-to-OFF judgement of one cycle test in real time, with the handler
// thread asleep for `blockMs` from the moment the unit's power is cut.
std::string JudgementWithHandlerBlocked(int blockMs) {
    const test::TempFolder folder;
    SettingsRecord settings;
    settings.timeToOffSeconds = 1;
    settings.cfgTime1 = 200;   // held off before Time to ON
    settings.cfgTime2 = 1000;  // Time to ON window
    settings.cfgTime3 = 300;   // the unit's start
    settings.cfgTime4 = 200;   // to the middle of level 1
    settings.cfgTime5 = 400;   // one level
    settings.cfgTime6 = 100;   // before the setup pulses
    settings.cfgTime7 = 200;
    {
        RegistryStore store(folder / "Orvalt.reg");
        EXPECT_TRUE(SaveStationSettings(settings, store).Ok());
    }
    StationSession session(
        SessionOptions{StationOptions{true, false, QuickUnit(), {}}, folder / "Orvalt.reg"});
    SessionFront front;
    front.runHooks = RunControlHooks{[] { return true; }, [](const std::string&) {}};
    session.Attach(std::move(front));
    session.HearSimulatedDiagLines();
    TestPlan plan;
    plan.entries.push_back(TestPlanEntry{100, 100, 100, 100, 0, 0, 0});
    session.UsePlan(plan, std::vector<TestRowTexts>(1));
    bool blocked = false;
    const auto blockAtPowerCut = [&](const PostedMessage& message) {
        const auto* progress = std::get_if<ProgressMessage>(&message);
        if (!blocked && progress && progress->text == "Setting output OFF") {
            blocked = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(blockMs));
        }
    };
    test::PressStartStop(session);
    const auto limit = std::chrono::steady_clock::now() + 60s;
    while (session.Status().runGoing && std::chrono::steady_clock::now() < limit) {
        session.HandleNext(5ms, blockAtPowerCut);
    }
    session.CloseDiagnostics();
    session.HandlePending();
    for (const std::string& line : session.Model().LogLines()) {
        if (line.rfind("Delay = ", 0) == 0 || line.rfind("Too fast.", 0) == 0) {
            return line.substr(0, line.find(", prior count"));
        }
    }
    std::string log;
    for (const std::string& line : session.Model().LogLines()) {
        log += "\n  " + line;
    }
    return "no judgement in" + log;
}

// The lines the judgement reads are recorded where they are received, so a
// handler thread that is busy while the unit loses power changes nothing.
TEST(StationSession, ABlockedHandlerThreadDoesNotChangeTheTimeToOffJudgement) {
    const std::string free = JudgementWithHandlerBlocked(0);
    ASSERT_EQ(free.rfind("Delay = ", 0), 0u) << free;
    EXPECT_EQ(JudgementWithHandlerBlocked(2000), free);
}

}  // namespace
}  // namespace orvalt
