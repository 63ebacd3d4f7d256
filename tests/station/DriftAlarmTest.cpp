// The station's end-of-run drift check on a real simulated run: a model's
// history recorded beforehand places its Time To OFF A so that the next unit
// completes eight in a row above the centre. The alarm is shown, kept with the
// run and leaves the verdict alone; too short a history, or a database that is
// away, raise none.

#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "RecordingSessionKit.h"
#include "config/TestPlanFile.h"
#include "output/RunExport.h"
#include "output/RunReport.h"
#include "platform/HostIdentity.h"
#include "reading/RunLoad.h"
#include "recording/EventRows.h"
#include "recording/RecordStore.h"
#include "records/RecordsToRead.h"
#include "spc/SpcCheck.h"
#include "support/PgCluster.h"
#include "support/RecordsKit.h"
#include "support/SessionDriving.h"
#include "support/StoredWords.h"
#include "support/TempFolder.h"

namespace orvalt {
namespace {

using namespace std::chrono_literals;
using test::TempFolder;

// One cycle test: its Time To OFF A is 0.50 s on the simulated unit, every run.
constexpr const char* kOneTestPlan =
    "One cycle test\n"
    "Label,T1 on (s),T2 off (s),T3 on (s),T4 off (s),Time-to-OFF option or upper bound (mV),"
    "Repetitions\n"
    "Cycle 1 @ Level 3,1.5,2,0.25,3,2\n";
constexpr double kSimulatedTimeToOffA = 0.50;
// The recording session's fixture: its series are this station's and its units.
constexpr const char* kFixture = "Bench A";
constexpr const char* kAlarm =
    "Drift: TimeToOffA on X100: 8 units in a row above the centre (rule 4)";

// A baseline of 25 units around 0.45 s (0.35 and 0.55 in turn, the last one
// below), then seven units at 0.50 s, above the centre but inside one sigma:
// the simulated unit's 0.50 s is the eighth in a row above.
std::vector<double> DriftingHistory(std::size_t baseline = 25, std::size_t above = 7) {
    std::vector<double> values;
    for (std::size_t i = 0; i < baseline; ++i) {
        values.push_back(i % 2 == 0 ? 0.35 : 0.55);
    }
    values.insert(values.end(), above, kSimulatedTimeToOffA);
    return values;
}

void RecordHistory(const std::string& database, const std::vector<double>& values,
                   const std::string& model = "X100") {
    auto db = OpenRecordDatabase(database);
    ASSERT_TRUE(db.Ok()) << db.Error();
    test::RecordFigureHistory(**db, model, 0, "TimeToOffA", values, 0, kFixture);
}

// 07:MM on the day the history was recorded, after all of it.
std::string LaterRunTime(int minute) {
    return "2026-12-01T07:" + std::string(minute < 10 ? "0" : "") + std::to_string(minute) +
           ":00.000Z";
}

// A run of X100 at 07:MM, stopped before any test completed, or with one
// completed test `figure` giving Time To OFF A.
void RecordLaterRun(SqlConnection& db, const std::string& uuid, int minute,
                    std::optional<std::pair<int, double>> figure) {
    const std::string when = LaterRunTime(minute);
    RunStart run;
    run.uuid = uuid;
    run.startedAt = when;
    run.host = StationHostName();
    run.fixture = kFixture;
    run.unit.model = "X100";
    std::vector<RowWrite> rows;
    if (figure) {
        const TestFinish finish{RecordEnd::Completed, "",
                                RecordMeasurements({{"TimeToOffA", figure->second, "s", 2}}, {}),
                                std::nullopt, when};
        AppendEventRows(TestEnded{uuid, {figure->first, {}, "cycle", when}, finish}, rows);
    }
    AppendEventRows(
        RunEnded{run,
                 {figure ? RecordEnd::Completed : RecordEnd::Stopped, "", when, std::nullopt},
                 {figure ? 1 : 0, figure ? 1 : 0, 0, 0}},
        rows);
    const auto written = WriteRows(db, rows);
    ASSERT_TRUE(written.Ok()) << written.Error().why;
}

// What the front end is shown of the drift checks.
class AlarmView final : public SessionView {
  public:
    void AlarmsRaised(const std::vector<std::string>& lines) override {
        shown.insert(shown.end(), lines.begin(), lines.end());
    }
    std::vector<std::string> shown;
};

// A recording session on the one-test plan, unit X100, judged by the example
// pass limits.
std::unique_ptr<StationSession> DriftSession(const TempFolder& folder, const std::string& database,
                                             AlarmView& view) {
    auto session = test::RecordingSession(test::IntoFolder(folder, database));
    test::WriteBytes(folder / "one.csv", kOneTestPlan);
    LoadedPlan plan = LoadTestPlanFile(folder / "one.csv").Value();
    session->UsePlan(std::move(plan.plan), std::move(plan.rows));
    session->SetPlanSource("one.csv", std::move(plan.text));
    DialogValues values = session->Model().values;
    values.description.model = "X100";
    session->SetDialogValues(values);
    EXPECT_EQ(session->LoadLimits(test::kExampleFile.parent_path() / "limits-pass.csv",
                                  StationSession::Remember::No),
              "");
    SessionFront front;
    front.view = &view;
    front.runHooks = RunControlHooks{[] { return true; }, [](const std::string&) {}};
    session->Attach(std::move(front));
    return session;
}

// One run to its end, its drift check done and shown; the outcome of the
// check as the session handled it.
std::optional<SpcCheckedMessage> RunAndCheck(StationSession& session) {
    std::optional<SpcCheckedMessage> checked;
    const auto keep = [&checked](const PostedMessage& message) {
        if (const auto* drift = std::get_if<SpcCheckedMessage>(&message)) {
            checked = *drift;
        }
    };
    EXPECT_TRUE(session.Start().Started());
    EXPECT_TRUE(test::HandleUntilRunOver(session, 60s, keep));
    EXPECT_TRUE(session.AwaitSpcChecks(30s));
    while (session.HandleNext(0ms, keep)) {
    }
    session.StoreRecords();
    return checked;
}

std::vector<AlarmRecord> RecordedAlarms(const std::string& database, const std::string& uuid) {
    auto db = OpenRecordsToRead(database);
    EXPECT_TRUE(db.Ok() && *db) << (db.Ok() ? "nothing recorded" : db.Error());
    if (!db.Ok() || !*db) {
        return {};
    }
    const auto run = LoadRun(**db, uuid);
    EXPECT_TRUE(run.Ok() && run->has_value());
    return run.Ok() && run->has_value() ? (*run)->alarms : std::vector<AlarmRecord>{};
}

// The whole story on one database: the unit that completes the pattern raises
// the alarm once, with its run, its verdict untouched; the next unit that only
// continues the pattern raises none.
void ExpectAlarmOnceOn(const TempFolder& folder, const std::string& database) {
    RecordHistory(database, DriftingHistory());
    AlarmView view;
    auto session = DriftSession(folder, database, view);
    const auto checked = RunAndCheck(*session);
    const std::string first = test::LastRunUuid(*session, database);

    EXPECT_EQ(view.shown, std::vector<std::string>{kAlarm});
    EXPECT_EQ(session->Status().driftAlarms, std::vector<std::string>{kAlarm});
    ASSERT_TRUE(checked);
    EXPECT_EQ(checked->runUuid, first);
    EXPECT_EQ(checked->notChecked, "");
    EXPECT_EQ(UnitVerdictOf(session->Verdicts()), VerdictKind::Pass);
    const LoadedRun run = test::LoadLastRun(*session, database);
    EXPECT_EQ(WordRead(run.unitVerdict), "PASS");
    ASSERT_EQ(run.alarms.size(), 1u);
    const AlarmRecord& alarm = run.alarms[0];
    EXPECT_EQ(alarm.testIndex, 0);
    EXPECT_EQ(alarm.measurement, "TimeToOffA");
    EXPECT_EQ(alarm.rule, 4);
    EXPECT_EQ(alarm.side, "above");
    EXPECT_EQ(alarm.text, kAlarm);
    EXPECT_FALSE(alarm.raisedAt.empty());
    EXPECT_NE(RunReportHtml(run).find(kAlarm), std::string::npos);
    EXPECT_NE(RunJson(run, false).find("\"rule\": 4"), std::string::npos);

    // The ninth in a row goes on from the eighth: the alarm is not raised
    // again, and the first run counted once (else the window would be off).
    view.shown.clear();
    const auto again = RunAndCheck(*session);
    EXPECT_TRUE(view.shown.empty());
    EXPECT_TRUE(session->Status().driftAlarms.empty());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->notChecked, "");
    EXPECT_TRUE(RecordedAlarms(database, test::LastRunUuid(*session, database)).empty());
    EXPECT_EQ(RecordedAlarms(database, first).size(), 1u);
}

TEST(Alarm, TheUnitThatCompletesEightInARowRaisesOneAlarmKeptWithItsRun) {
    TempFolder folder;
    ExpectAlarmOnceOn(folder, (folder / "results.sqlite").string());
}

// The last runs of the model gave the series no point (stopped, or another
// test's figure): the check reads further back for its eight. The run just
// ended has landed already and counts once; with it counted twice, the unit
// would be a ninth in a row and raise nothing. Time To OFF A comes from two
// tests of the model, so the series is named by its test.
TEST(Alarm, TheCheckReadsPastRunsWithoutThePointAndCountsTheLandedRunOnce) {
    TempFolder folder;
    const std::string database = (folder / "results.sqlite").string();
    RecordHistory(database, DriftingHistory());
    auto db = OpenRecordDatabase(database);
    ASSERT_TRUE(db.Ok()) << db.Error();
    for (int minute = 0; minute < 3; ++minute) {
        RecordLaterRun(**db, "stopped-" + std::to_string(minute), minute, std::nullopt);
    }
    RecordLaterRun(**db, "other-test-0", 3, std::pair{1, 0.90});
    RecordLaterRun(**db, "other-test-1", 4, std::pair{1, 0.90});
    RecordLaterRun(**db, "just-ended", 5, std::pair{0, kSimulatedTimeToOffA});

    const FinishedUnit unit{
        "X100", "just-ended", LaterRunTime(5), {{0, {"TimeToOffA", 0.50, "s", 2}}}};
    const auto checked = CheckFinishedUnit(**db, unit);
    ASSERT_TRUE(checked.Ok()) << checked.Error();
    EXPECT_EQ(checked->notChecked, "");
    EXPECT_EQ(checked->seriesChecked, 1u);
    ASSERT_EQ(checked->alarms.size(), 1u);
    EXPECT_EQ(checked->alarms[0].line,
              "Drift: TimeToOffA of test 1 on X100: 8 units in a row above the centre (rule 4)");
    EXPECT_EQ(checked->alarms[0].hit.rule, 4);

    // After a unit below the centre, one above (not landed yet) starts nothing.
    RecordLaterRun(**db, "below", 6, std::pair{0, 0.35});
    const FinishedUnit notLanded{"X100", "not-landed", LaterRunTime(7), unit.figures};
    const auto calm = CheckFinishedUnit(**db, notLanded);
    ASSERT_TRUE(calm.Ok()) << calm.Error();
    EXPECT_EQ(calm->seriesChecked, 1u);
    EXPECT_TRUE(calm->alarms.empty());

    // A baseline frozen for the series holds instead of the first units:
    // against a centre of 0.40 the same unit is beyond 3 sigma.
    const FrozenLookup frozen = [](int test, const std::string& name) {
        return test == 0 && name == "TimeToOffA"
                   ? std::optional(FrozenBaseline{0.40, 0.02, 25, "2026-12-08T00:00:00.000Z"})
                   : std::nullopt;
    };
    const auto held = CheckFinishedUnit(**db, notLanded, {}, frozen);
    ASSERT_TRUE(held.Ok()) << held.Error();
    EXPECT_TRUE(std::any_of(held->alarms.begin(), held->alarms.end(),
                            [](const Alarm& alarm) { return alarm.hit.rule == 1; }));
}

// Another fixture's units are another series: the unit of this fixture that
// would complete their eight in a row has no history of its own to be
// checked against, unless the series are pooled over every station.
TEST(Alarm, AnotherFixturesUnitsAreNoSeriesOfThisOneUnlessPooled) {
    TempFolder folder;
    const std::string database = (folder / "drift.sqlite").string();
    {
        auto db = OpenRecordDatabase(database);
        ASSERT_TRUE(db.Ok()) << db.Error();
        ASSERT_TRUE(test::RecordFigureHistory(**db, "X100", 0, "TimeToOffA", DriftingHistory(), 0,
                                              "Bay 2"));
    }
    auto db = OpenRecordsToRead(database);
    ASSERT_TRUE(db.Ok() && *db);
    FinishedUnit unit{"X100", "bay-1", LaterRunTime(1), {{0, {"TimeToOffA", 0.50, "s", 2}}}};
    unit.station = SeriesStation{StationHostName(), kFixture};
    const auto own = CheckFinishedUnit(**db, unit);
    ASSERT_TRUE(own.Ok()) << own.Error();
    EXPECT_EQ(own->notChecked, "no drift check of X100: fewer than 25 units of it are recorded");
    EXPECT_TRUE(own->alarms.empty());
    unit.station = SeriesStation{StationHostName(), "Bay 2"};
    EXPECT_EQ(CheckFinishedUnit(**db, unit)->alarms.size(), 1u);
    unit.station.reset();
    const auto pooled = CheckFinishedUnit(**db, unit);
    ASSERT_TRUE(pooled.Ok()) << pooled.Error();
    ASSERT_EQ(pooled->alarms.size(), 1u);
    EXPECT_EQ(pooled->alarms[0].line, kAlarm);
}

std::string LaterRunUuid(int index) {
    return (index % 2 == 0 ? "own-" : "other-") + std::to_string(index / 2);
}

FinishedUnit UnitOf(const std::string& uuid, int minute, double value) {
    return {"X100", uuid, LaterRunTime(minute), {{0, {"TimeToOffA", value, "s", 2}}}};
}

std::vector<std::string> AlarmLines(const Result<SpcCheckResult>& checked) {
    EXPECT_TRUE(checked.Ok()) << checked.Error();
    if (!checked.Ok()) {
        return {"failed"};
    }
    EXPECT_EQ(checked->notChecked, "");
    std::vector<std::string> lines;
    for (const Alarm& alarm : checked->alarms) {
        lines.push_back(alarm.line);
    }
    return lines;
}

// The station's last units stand in for their records: whether none, some or
// all of them have landed, the check judges the window the records give once
// everything has landed, each unit counted once, each in the place its run's
// start gives it (another station's record, landed sooner, among them). The
// records alone, before the own units land, would judge another window.
// After a baseline and four units come own-0, other-0, own-1, other-1, own-2
// and the unit checked, each on either side of one and two sigma, so the
// rules' patterns (and their continuations) come and go with the order.
TEST(Alarm, TheStationsOwnUnitsCompleteTheWindowWhetherTheirRecordsLandedOrNot) {
    TempFolder folder;
    std::mt19937 random(2026);
    const std::vector<double> choices{0.40, 0.50, 0.70, 0.85, 0.90};
    std::uniform_int_distribution<std::size_t> pick(0, choices.size() - 1);
    int alarmed = 0;
    int misjudgedByTheRecordsAlone = 0;
    for (int lot = 0; lot < 16; ++lot) {
        SCOPED_TRACE(lot);
        std::vector<double> values = DriftingHistory(25, 0);
        for (int i = 0; i < 10; ++i) {
            values.push_back(choices[pick(random)]);
        }
        const std::vector<double> later(values.end() - 6, values.end());
        values.resize(values.size() - 6);
        const std::string database = (folder / ("lot-" + std::to_string(lot) + ".sqlite")).string();
        RecordHistory(database, values);
        auto db = OpenRecordDatabase(database);
        ASSERT_TRUE(db.Ok()) << db.Error();
        std::vector<FinishedUnit> own;
        for (int i = 0; i < 5; ++i) {
            if (i % 2 == 0) {
                own.push_back(UnitOf(LaterRunUuid(i), i, later[i]));
            } else {
                RecordLaterRun(**db, LaterRunUuid(i), i, std::pair{0, later[i]});
            }
        }
        const FinishedUnit checked = UnitOf("checked", 5, later[5]);

        const std::vector<std::string> recordsAlone = AlarmLines(CheckFinishedUnit(**db, checked));
        std::vector<std::vector<std::string>> withOwn;
        withOwn.push_back(AlarmLines(CheckFinishedUnit(**db, checked, own)));
        for (int i = 0; i < 5; i += 2) {
            RecordLaterRun(**db, LaterRunUuid(i), i, std::pair{0, later[i]});
            withOwn.push_back(AlarmLines(CheckFinishedUnit(**db, checked, own)));
        }
        const std::vector<std::string> landed = AlarmLines(CheckFinishedUnit(**db, checked));
        for (const std::vector<std::string>& lines : withOwn) {
            EXPECT_EQ(lines, landed);
        }
        alarmed += landed.empty() ? 0 : 1;
        misjudgedByTheRecordsAlone += recordsAlone == landed ? 0 : 1;
    }
    // Else the lots would prove nothing.
    EXPECT_GT(alarmed, 0);
    EXPECT_GT(misjudgedByTheRecordsAlone, 0);
}

TEST(Alarm, OnAServerTheSameAlarmIsRaisedAndKept) {
    if (test::PostgresTestsMaySkip()) {
        GTEST_SKIP() << "Debian's postgresql is not installed";
    }
    test::PgCluster cluster;
    ASSERT_TRUE(cluster.Ready()) << cluster.Problem();
    TempFolder folder;
    ExpectAlarmOnceOn(folder, cluster.Url());
}

// 24 units are no baseline: the run is checked for nothing, and says why
// only in the check's outcome; another model's history is no baseline either.
TEST(Alarm, FewerThanTwentyFiveUnitsOfTheModelRaiseNoAlarm) {
    TempFolder folder;
    const std::string database = (folder / "results.sqlite").string();
    std::vector<double> history = DriftingHistory(17, 7);
    RecordHistory(database, history);
    RecordHistory(database, DriftingHistory(), "X200");
    AlarmView view;
    auto session = DriftSession(folder, database, view);
    const auto checked = RunAndCheck(*session);
    EXPECT_TRUE(view.shown.empty());
    EXPECT_TRUE(session->Status().driftAlarms.empty());
    ASSERT_TRUE(checked);
    EXPECT_NE(checked->notChecked.find("fewer than 25 units"), std::string::npos)
        << checked->notChecked;
    EXPECT_TRUE(RecordedAlarms(database, test::LastRunUuid(*session, database)).empty());
    EXPECT_EQ(UnitVerdictOf(session->Verdicts()), VerdictKind::Pass);
}

// The records can't be read: no alarm and no word beyond the check's outcome,
// while the run itself waits in the spool as ever.
TEST(Alarm, ADatabaseThatIsAwayRaisesNoAlarmAndTheRunWaitsInTheSpool) {
    TempFolder folder;
    test::WriteBytes(folder / "blocker", "a file where a folder should be");
    const std::string database = (folder / "blocker" / "results.sqlite").string();
    AlarmView view;
    auto session = DriftSession(folder, database, view);
    const auto checked = RunAndCheck(*session);
    EXPECT_TRUE(view.shown.empty());
    ASSERT_TRUE(checked);
    EXPECT_FALSE(checked->notChecked.empty());
    EXPECT_EQ(UnitVerdictOf(session->Verdicts()), VerdictKind::Pass);
    auto spool = OpenRecordsToRead((folder / "spool.sqlite").string());
    ASSERT_TRUE(spool.Ok() && *spool);
    const auto spooled = LastRunUuid(**spool);
    ASSERT_TRUE(spooled.Ok()) << spooled.Error();
    EXPECT_EQ(*spooled, checked->runUuid);
    const auto run = LoadRun(**spool, *spooled);
    ASSERT_TRUE(run.Ok() && run->has_value());
    EXPECT_EQ((*run)->endedHow, "completed");
    EXPECT_TRUE((*run)->alarms.empty());
}

}  // namespace
}  // namespace orvalt
