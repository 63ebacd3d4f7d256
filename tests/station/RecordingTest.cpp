// A session's runs as the results database keeps them: a real run of the
// example plan in virtual time, a stopped run, a database that can't be
// written, and a PostgreSQL server that goes away mid-run and comes back.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "RecordingSessionKit.h"
#include "config/TestPlanFile.h"
#include "domain/FormatFixed.h"
#include "domain/VerdictWord.h"
#include "output/RunReport.h"
#include "plot/CrossingMarks.h"
#include "plot/LightPlotModel.h"
#include "plot/PlotFeed.h"
#include "reading/RunLoad.h"
#include "reading/StoredTrace.h"
#include "records/ResultsSetting.h"
#include "records/Sha256.h"
#include "station/StationSession.h"
#include "support/HoldWhileRunning.h"
#include "support/PgCluster.h"
#include "support/SessionDriving.h"
#include "support/TempFolder.h"

namespace orvalt {
namespace {

using namespace std::chrono_literals;
using test::HandleUntilOver;
using test::IntoFolder;
using test::kExampleFile;
using test::LoadLastRun;
using test::RecordingSession;
using test::TempFolder;

// What a run told its observers between its start and its end: what its
// record must hold, one for one.
class RunTally final : public SessionObserver {
  public:
    void RunStarted(int) override { inRun_ = true; }
    void RunEnded(int, RunEnd) override { inRun_ = false; }
    void TestEnded(const TestEnd& test) override {
        if (test.completed) {
            summaryLines.push_back(test.summaryLine);
        }
        if (onTestEnded) {
            onTestEnded(test.row);
        }
    }
    void VoltageRead(const VoltageReading& reading) override { readings += reading.volts ? 1 : 0; }
    void PowerSwitched(const PowerSwitch& change) override { switches += change.ok ? 1 : 0; }
    void MarkerToggled(const MarkerToggle&) override { ++switches; }
    void DiagLineDecoded(const DiagLine&, const EventTime&) override {
        diagLines += inRun_ ? 1 : 0;
    }

    std::vector<std::string> summaryLines;
    std::size_t readings = 0, switches = 0, diagLines = 0;
    // Called on the worker's thread as each test ends.
    std::function<void(int row)> onTestEnded;

  private:
    bool inRun_ = false;
};

// Runs the example plan to its end under limits-fail, `watcher` told of all of
// it. The limits file's error, if it would not load; the plan then never runs.
std::string RunWithFailingLimits(StationSession& session, SessionObserver& watcher) {
    const std::string error = session.LoadLimits(kExampleFile.parent_path() / "limits-fail.csv",
                                                 StationSession::Remember::No);
    if (!error.empty()) {
        return error;
    }
    session.Observers().Attach(watcher);
    test::PressStartStop(session);
    HandleUntilOver(session);
    session.Observers().Detach(watcher);
    return "";
}

struct TraceSizes {
    std::size_t readings = 0, switches = 0, diagLines = 0;
};

TraceSizes SizesOf(const LoadedRun& run) {
    TraceSizes sizes{0, 0, run.diagLinesBetweenTests.size()};
    for (const LoadedTest& test : run.tests) {
        sizes.readings += test.readings.size();
        sizes.switches += test.switches.size();
        sizes.diagLines += test.diagLines.size();
    }
    return sizes;
}

// Each test's trace is timed from its first power switch, in order.
bool TimedFromFirstSwitch(const LoadedTest& test) {
    if (test.switches.empty() || test.switches.front().ms != 0) {
        return false;
    }
    for (std::size_t i = 1; i < test.readings.size(); ++i) {
        if (test.readings[i].ms < test.readings[i - 1].ms) {
            return false;
        }
    }
    return true;
}

TEST(Recording, TheExamplePlanIsRecordedWholeWithEveryReadingSwitchAndDiagnosticLine) {
    TempFolder folder;
    auto session = RecordingSession(IntoFolder(folder));
    RunTally tally;
    ASSERT_EQ(RunWithFailingLimits(*session, tally), "");
    const LoadedRun run = LoadLastRun(*session, IntoFolder(folder).database);

    const RunStart& start = run.start;
    EXPECT_EQ(start.unit.serial, "SN-0042");
    EXPECT_EQ(start.unit.model, "X1");
    EXPECT_EQ(start.unit.driverModel, "4");
    EXPECT_EQ(start.fixture, "Bench A");
    EXPECT_EQ(start.planName, "TestCfg.csv");
    const std::string planText = test::ReadBytes(kExampleFile);
    EXPECT_EQ(start.planText, planText);
    EXPECT_EQ(start.planSha256, Sha256Hex(planText));
    EXPECT_FALSE(start.host.empty());
    EXPECT_EQ(RunSetting(run, "TTOTestOption"), std::to_string(session->Settings().TTOTestOption));
    EXPECT_EQ(run.endedHow, "completed");

    ASSERT_EQ(run.tests.size(), 5u);
    ASSERT_EQ(tally.summaryLines.size(), 5u);
    const LoadedPlan plan = LoadTestPlanFile(kExampleFile).Value();
    for (std::size_t i = 0; i < run.tests.size(); ++i) {
        const LoadedTest& test = run.tests[i];
        EXPECT_EQ(test.start.index, static_cast<int>(i));
        EXPECT_EQ(test.start.planTexts, plan.rows[i]);
        EXPECT_EQ(test.start.mode, i < 4 ? "cycle" : "onoff");
        EXPECT_EQ(test.endedHow, "completed");
        EXPECT_EQ(test.summaryLine, tally.summaryLines[i]);
        EXPECT_FALSE(test.measurements.empty()) << i;
        EXPECT_TRUE(TimedFromFirstSwitch(test)) << i;
        // The verdicts the window shows, kept with the tests.
        ASSERT_TRUE(test.verdict) << i;
        EXPECT_EQ(test.verdict->outcome.Word(), i == 1 ? "FAIL" : "PASS") << i;
        EXPECT_EQ(test.verdict->reasons, i == 1 ? "V4 4.70 > 4.50" : "") << i;
    }
    const TraceSizes sizes = SizesOf(run);
    EXPECT_GT(tally.readings, 100u);
    EXPECT_EQ(sizes.readings, tally.readings);
    EXPECT_EQ(sizes.switches, tally.switches);
    EXPECT_GT(tally.diagLines, 0u);
    EXPECT_EQ(sizes.diagLines, tally.diagLines);
}

// What the window's plot held of each test at its end, replayed from the
// session's events through the window's own feed and model.
std::vector<TestTrace> LiveTraces(const std::vector<PlotEvent>& events,
                                  const ThresholdLevels& levels) {
    LightPlotModel model;
    model.SetLevels(levels);
    std::vector<TestTrace> tests;
    for (const PlotEvent& event : events) {
        if (std::holds_alternative<plotfeed::TestBegin>(event) && model.Current().testNumber > 0) {
            tests.push_back(model.Current());
        }
        model.Apply(event);
    }
    tests.push_back(model.Current());
    return tests;
}

// The figures the log shows for each logged line that starts with `lead`.
std::vector<std::string> LoggedFigures(const std::vector<std::string>& log,
                                       const std::string& lead) {
    std::vector<std::string> figures;
    for (const std::string& line : log) {
        if (line.starts_with(lead)) {
            figures.push_back(line.substr(line.rfind(", ") + 2));
        }
    }
    return figures;
}

// The reading a mark sits on is the first past its threshold after its switch.
void ExpectOnTheCrossingReading(const TestTrace& trace, const CrossingMark& mark) {
    const auto at = std::find_if(
        trace.readings.begin(), trace.readings.end(),
        [&mark](const PlotPoint& p) { return std::abs(p.seconds - mark.seconds) < 0.0005; });
    ASSERT_TRUE(at != trace.readings.end())
        << "no reading under " << MarkLabel(mark) << " at " << mark.seconds << " s";
    ASSERT_TRUE(at != trace.readings.begin()) << MarkLabel(mark);
    const bool rising = mark.figure == Figure::TimeToOn;
    EXPECT_EQ(at->volts >= mark.volts, rising) << MarkLabel(mark);
    EXPECT_EQ(std::prev(at)->volts >= mark.volts, !rising) << MarkLabel(mark);
}

// The runner prints the keeper's verdict lines; the record keeps each test's
// verdict and the figures it was judged on. The two give the same lines, and
// every breach the runner names shows the recorded figure to the digit the
// verdict compared.
void ExpectTheRunnersVerdictsAreTheRecords(const VerdictSnapshot& verdicts, const LoadedRun& run) {
    const std::vector<TestVerdict>& judged = verdicts.verdicts.Tests();
    ASSERT_EQ(judged.size(), run.tests.size());
    std::vector<std::string> recordedLines;
    std::size_t breaches = 0;
    for (std::size_t i = 0; i < run.tests.size(); ++i) {
        const LoadedTest& test = run.tests[i];
        ASSERT_TRUE(test.verdict) << i;
        std::string line = std::string("VERDICT TEST ").append(std::to_string(i + 1));
        line.append(": ").append(test.verdict->outcome.Word());
        if (!test.verdict->reasons.empty()) {
            line.append(" ").append(test.verdict->reasons);
        }
        recordedLines.push_back(line);
        for (const LimitBreach& breach : judged[i].breaches) {
            const std::vector<NamedMeasurement> figures = FiguresOf(test);
            const NamedMeasurement* recorded = FindNamed(figures, breach.name);
            ASSERT_NE(recorded, nullptr) << breach.name;
            const int decimals = FindMeasurementName(breach.name)->decimals;
            EXPECT_EQ(FormatFixed(recorded->value, decimals), breach.value) << breach.name;
            ++breaches;
        }
    }
    recordedLines.emplace_back("VERDICT UNIT: FAIL");
    EXPECT_EQ(verdicts.verdicts.Lines(), recordedLines);
    EXPECT_GT(breaches, 0u);
}

// What each test's end carried to the observers.
class OutcomeWatch final : public SessionObserver {
  public:
    void TestEnded(const TestEnd& test) override { outcomes.push_back(test.outcome); }
    std::vector<TestOutcome> outcomes;
};

// The record holds the outcome the observers were told, figure for figure
// (with the switch rows of its crossings beside them; it reads them back by
// name), and its verdict.
void ExpectTheRecordHoldsTheOutcome(const TestOutcome& told, const LoadedTest& test) {
    std::vector<std::pair<std::string, double>> recorded, figures;
    for (const NamedMeasurement& row : FiguresOf(test)) {
        recorded.emplace_back(row.name, row.value);
    }
    for (const NamedMeasurement& row : told.measurements) {
        figures.emplace_back(row.name, row.value);
    }
    for (const NamedMeasurement& row : SwitchRows(told.crossings)) {
        figures.emplace_back(row.name, row.value);
    }
    std::sort(figures.begin(), figures.end());
    std::sort(recorded.begin(), recorded.end());
    EXPECT_EQ(recorded, figures);
    ASSERT_TRUE(told.verdict && test.verdict);
    EXPECT_EQ(test.verdict->outcome.Word(), VerdictKindWord(told.verdict->kind));
}

// The example plan with limits-fail, in virtual time, once with the simulated
// unit as it is and once with one whose light decays so slowly (12 s) that
// most Time To OFF thresholds are never reached in the window: the live plot and the report mark
// the same crossings at the same places (to the millisecond), each on the reading where its
// threshold was passed after its own switch, labelled with the figure the log
// shows; a threshold never reached has no mark in either. The record keeps
// the very outcome each test's end told (figures, crossings, verdict), and the
// runner's verdict lines are the record's, to the digit shown.
TEST(Recording, TheLivePlotAndTheReportMarkTheSameCrossingsWhereTheyWereMeasured) {
    for (const std::int32_t offTauMs : {400, 12000}) {
        TempFolder folder;
        UnitProfile unit;
        unit.offTauMs = offTauMs;
        auto session = RecordingSession(IntoFolder(folder), unit);
        PlotFeed feed;
        OutcomeWatch told;
        session->Observers().Attach(told);
        ASSERT_EQ(RunWithFailingLimits(*session, feed), "");
        session->Observers().Detach(told);
        const SettingsRecord& settings = session->Settings();
        const auto live = LiveTraces(
            feed.Take(), {settings.voltageOn, settings.voltageOffA, settings.voltageOffB});
        const LoadedRun run = LoadLastRun(*session, IntoFolder(folder).database);
        ASSERT_EQ(live.size(), run.tests.size());

        std::vector<std::string> onLabels, offLabels;
        for (std::size_t i = 0; i < live.size(); ++i) {
            const TestTrace stored = StoredTrace(run.tests[i], StoredLevels(run));
            EXPECT_EQ(live[i].crossings, stored.crossings) << "test " << i + 1;
            ExpectTheRecordHoldsTheOutcome(told.outcomes.at(i), run.tests[i]);
            ASSERT_EQ(live[i].readings.size(), stored.readings.size());
            for (std::size_t r = 0; r < stored.readings.size(); ++r) {
                EXPECT_DOUBLE_EQ(live[i].readings[r].seconds, stored.readings[r].seconds);
            }
            for (const CrossingMark& mark : live[i].crossings) {
                ExpectOnTheCrossingReading(live[i], mark);
                const std::string label = MarkLabel(mark);
                (mark.figure == Figure::TimeToOn ? onLabels : offLabels).push_back(label);
            }
        }
        std::vector<std::string> loggedOn, loggedOff;
        const auto& log = session->Model().LogLines();
        for (const std::string& figure : LoggedFigures(log, "Time To ON seconds, ")) {
            loggedOn.push_back("ON " + figure + " s");
        }
        const auto offFigures = LoggedFigures(log, "Time To OFF (to ");
        for (std::size_t k = 0; k < offFigures.size(); ++k) {
            if (offFigures[k] != "-1.00") {
                loggedOff.push_back((k % 2 == 0 ? "OFF A " : "OFF B ") + offFigures[k] + " s");
            }
        }
        ExpectTheRunnersVerdictsAreTheRecords(session->Verdicts(), run);
        EXPECT_EQ(onLabels, loggedOn) << offTauMs;
        EXPECT_EQ(offLabels, loggedOff) << offTauMs;
        EXPECT_EQ(onLabels.size(), 4u);
        if (offTauMs == 400) {
            EXPECT_EQ(offLabels.size(), 8u);
        } else {
            EXPECT_GT(offLabels.size(), 0u);
            EXPECT_LT(offLabels.size(), 4u);
        }
    }
}

// A stop ends the test in progress and the run as stopped, with the reason;
// the tests completed before it stay completed.
TEST(Recording, AStoppedRunKeepsItsCompletedTestsAndSaysItWasStopped) {
    TempFolder folder;
    auto session = RecordingSession(IntoFolder(folder));
    test::PressStartStop(*session);
    while (session->Status().completedTests < 2 && session->Status().runGoing) {
        session->HandleNext(5ms);
    }
    test::PressStartStop(*session);
    session->HandlePending();
    const LoadedRun run = LoadLastRun(*session, IntoFolder(folder).database);
    EXPECT_EQ(run.endedHow, "stopped");
    EXPECT_EQ(run.endReason, "stopped by the operator");
    ASSERT_GE(run.tests.size(), 2u);
    EXPECT_EQ(run.tests[0].endedHow, "completed");
    EXPECT_EQ(run.tests[1].endedHow, "completed");
    std::size_t stopped = 0;
    for (const LoadedTest& test : run.tests) {
        stopped += test.endedHow == "stopped" ? 1 : 0;
    }
    EXPECT_LE(stopped, 1u);
    EXPECT_EQ(run.tests.back().endedHow, stopped ? "stopped" : "completed");
}

bool IsSecondTestsPowerOn(const ProgressMessage& message) {
    return message.row == 1 && message.text == "Setting output ON";
}

// Presses Stop from the handler thread as the second test's power-on is
// shown. In virtual time the worker runs ahead of the handler, so it is held
// where it posted that power-on until the stop: the unit is then on.
// Made before the session it watches, which goes first.
class StopWhenPoweredInSecondTest final : public SessionView {
  public:
    StopWhenPoweredInSecondTest() = default;
    StopWhenPoweredInSecondTest(const StopWhenPoweredInSecondTest&) = delete;
    StopWhenPoweredInSecondTest& operator=(const StopWhenPoweredInSecondTest&) = delete;

    // For SessionOptions::watchRunFlag, before the session is made.
    std::function<void(const RunFlag&)> RunFlagWatch() {
        return [this](const RunFlag& flag) { runFlag_ = &flag; };
    }
    // Shows the session's posts to this view, and holds the worker as said.
    void Watch(StationSession& session) {
        session_ = &session;
        SessionFront front;
        front.view = this;
        front.posted = [this](const PostedMessage& m) {
            const auto* progress = std::get_if<ProgressMessage>(&m);
            if (progress && IsSecondTestsPowerOn(*progress)) {
                test::HoldWhileRunning(*runFlag_);
            }
        };
        session.Attach(std::move(front));
    }
    void ProgressShown(const ProgressMessage& message) override {
        if (!pressed && IsSecondTestsPowerOn(message)) {
            pressed = true;
            test::PressStartStop(*session_);
        }
    }
    bool pressed = false;

  private:
    StationSession* session_ = nullptr;
    const RunFlag* runFlag_ = nullptr;
};

std::optional<LineSwitch> LastPowerSwitch(const LoadedTest& test) {
    std::optional<LineSwitch> last;
    for (const LineSwitch& change : test.switches) {
        if (change.line == 4) {
            last = change;
        }
    }
    return last;
}

// However a run ends, its record leaves the unit switched off: the last power
// switch of the test it ended in is OFF, timed after every reading, and the
// report's trace draws it as the last power line.
TEST(Recording, EveryRunEndsWithTheUnitsSwitchOffInTheTestItEndedIn) {
    for (const std::string how : {"completed", "stopped", "abandoned"}) {
        TempFolder folder;
        UnitProfile unit;
        if (how == "abandoned") {
            unit.failReadAfter = 40;
        }
        StopWhenPoweredInSecondTest stopper;
        auto session = RecordingSession(IntoFolder(folder), unit, stopper.RunFlagWatch());
        if (how == "stopped") {
            stopper.Watch(*session);
        }
        test::PressStartStop(*session);
        HandleUntilOver(*session);
        session->CloseRun();
        const LoadedRun run = LoadLastRun(*session, IntoFolder(folder).database);
        EXPECT_EQ(run.endedHow, how);
        ASSERT_FALSE(run.tests.empty()) << how;
        const LoadedTest& last = run.tests.back();
        const auto off = LastPowerSwitch(last);
        ASSERT_TRUE(off) << how;
        EXPECT_FALSE(off->on) << how;
        for (const Reading& reading : last.readings) {
            EXPECT_LE(reading.ms, off->ms) << how;
        }
        const std::string html = RunReportHtml(run);
        const auto lastPowerLine = html.rfind("<line class=\"power ");
        ASSERT_NE(lastPowerLine, std::string::npos) << how;
        EXPECT_TRUE(html.substr(lastPowerLine).starts_with("<line class=\"power off")) << how;
    }
}

// A database that can't be opened never stops a test; the operator is told
// once, and the records wait in the spool.
TEST(Recording, ADatabaseThatCannotBeOpenedLeavesTheRunAsItWas) {
    TempFolder folder;
    test::WriteBytes(folder / "blocker", "a file where a folder should be");
    auto session = RecordingSession(IntoFolder(folder, (folder / "blocker" / "r.sqlite").string()));
    test::PressStartStop(*session);
    HandleUntilOver(*session);
    session->StoreRecords();
    EXPECT_EQ(session->Status().completedTests, 5u);
    const std::vector<RecordingHealth> health = session->TakeRecordingHealth();
    ASSERT_EQ(health.size(), 1u);
    EXPECT_FALSE(health[0].reachable);
    EXPECT_FALSE(health[0].message.empty());
    EXPECT_TRUE(std::filesystem::exists(folder / "spool.sqlite"));
}

// Runs an earlier station spooled under the database text as written (its
// password with it) join the spool named after the server; at start the
// operator learns how many wait and for which server, without the password.
TEST(Recording, RunsSpooledUnderTheFormerNameAreTakenOverAndCountedAtStart) {
    TempFolder folder;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const std::string savedDataHome = dataHome ? dataHome : "";
    ::setenv("XDG_DATA_HOME", folder.Path().c_str(), 1);
    const std::string shown = "postgresql://op@/orvalt?host=" + (folder / "nowhere").string();
    const std::string url = shown + "&password=s3cr3t";
    {
        RunRecorder earlier({url, EarlierResultsSpool(url), 0ms, {}});
        for (int run = 0; run < 2; ++run) {
            earlier.BeginRun({});
            earlier.EndRun({});
        }
    }
    const std::filesystem::path earlierSpool = EarlierResultsSpool(url);
    const std::filesystem::path spool = DefaultResultsSpool(url);
    ASSERT_TRUE(std::filesystem::exists(earlierSpool));
    ASSERT_NE(earlierSpool, spool);
    RecordingOptions recording;
    recording.on = true;
    recording.database = url;
    std::vector<RecordingHealth> health;
    {
        StationSession session(SessionOptions{StationOptions{true, true, {}}, {}, recording});
        health = session.TakeRecordingHealth();
    }
    dataHome ? ::setenv("XDG_DATA_HOME", savedDataHome.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    ASSERT_FALSE(health.empty());
    EXPECT_EQ(health[0].message, "2 runs wait in " + spool.string() + " for " + shown +
                                     "; they are written there as soon as it takes writes.");
    for (const RecordingHealth& change : health)
        EXPECT_EQ(change.message.find("s3cr3t"), std::string::npos) << change.message;
    EXPECT_FALSE(std::filesystem::exists(earlierSpool));
}

// Recording off: no recorder, nothing written anywhere.
TEST(Recording, OffMeansNoRecorder) {
    StationSession session(SessionOptions{StationOptions{true, true, {}}, {}});
    EXPECT_FALSE(session.Status().recordsRuns);
    EXPECT_TRUE(session.TakeRecordingHealth().empty());
    EXPECT_EQ(session.StoreRecords(), "");
}

// The server stops after the second test and starts again after the fourth:
// the run is whole in PostgreSQL afterwards, each row once.
TEST(Recording, AServerStoppedMidRunHasTheWholeRunOnceItIsBack) {
    if (test::PostgresTestsMaySkip()) {
        GTEST_SKIP() << "Debian's postgresql is not installed";
    }
    test::PgCluster cluster;
    ASSERT_TRUE(cluster.Ready()) << cluster.Problem();
    TempFolder folder;
    auto session = RecordingSession(IntoFolder(folder, cluster.Url()));
    RunTally tally;
    bool stopped = false, restarted = false;
    tally.onTestEnded = [&](int row) {
        if (row == 1) {
            stopped = cluster.Stop();
        } else if (row == 3) {
            restarted = cluster.Start();
        }
    };
    session->Observers().Attach(tally);
    test::PressStartStop(*session);
    HandleUntilOver(*session);
    session->Observers().Detach(tally);
    ASSERT_TRUE(stopped && restarted);

    std::vector<RecordingHealth> health;
    for (auto limit = std::chrono::steady_clock::now() + 30s;
         health.size() < 2 && std::chrono::steady_clock::now() < limit;) {
        session->StoreRecords();
        for (RecordingHealth& change : session->TakeRecordingHealth()) {
            health.push_back(std::move(change));
        }
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_EQ(health.size(), 2u);
    EXPECT_FALSE(health[0].reachable);
    EXPECT_TRUE(health[1].reachable);
    const LoadedRun run = LoadLastRun(*session, cluster.Url());
    EXPECT_EQ(run.endedHow, "completed");
    ASSERT_EQ(run.tests.size(), 5u);
    const TraceSizes sizes = SizesOf(run);
    EXPECT_EQ(sizes.readings, tally.readings);
    EXPECT_EQ(sizes.switches, tally.switches);
    EXPECT_EQ(sizes.diagLines, tally.diagLines);
    EXPECT_EQ(cluster.Query("SELECT count(*) FROM runs"), "1\n");
}

}  // namespace
}  // namespace orvalt
