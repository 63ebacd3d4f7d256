// The line at a glance read back from a line's records, on SQLite and on a
// PostgreSQL server: four fixtures on two hosts (testing, idle, gone quiet
// mid-run, deep in a long test), today's and yesterday's verdicts, drift
// alarms of series that still break a rule and of one that came back; and
// the change mark, which moves with every change a page shows and with
// nothing else.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>

#include "domain/Joined.h"
#include "lineview/LineChangeMark.h"
#include "lineview/LineView.h"
#include "platform/UtcTime.h"
#include "reading/ModelMovement.h"
#include "reading/Pareto.h"
#include "recording/EventRows.h"
#include "recording/RecordStore.h"
#include "records/RecordTables.h"
#include "records/RecordsToRead.h"
#include "spc/OpenAlarms.h"
#include "support/BothDatabases.h"
#include "support/StoredWords.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

using namespace std::chrono_literals;
using enum RecordEnd;

// 2026-12-08T15:00:00Z; the day starts at midnight UTC here.
const std::chrono::system_clock::time_point kNow{std::chrono::seconds(1796742000)};

std::string MinutesAgo(double minutes) {
    return UtcIsoTime(kNow - std::chrono::milliseconds(static_cast<long long>(minutes * 60000)));
}

LineMoment Moment() {
    LineMoment moment;
    moment.now = UtcIsoTime(kNow);
    moment.todayStart = "2026-12-08T00:00:00Z";  // read as the records write it
    moment.notSeenAfter = 10min;
    moment.stationsSince = MinutesAgo(24 * 60);
    moment.alarmsSince = MinutesAgo(7 * 24 * 60);
    return moment;
}

MeasurementRecord Figure(const std::string& name, double value, std::optional<double> min,
                         std::optional<double> max, MeasurementOutcome outcome) {
    return {{name, value, "s", 2}, min, max, outcome};
}

const MeasurementRecord kOffAHigh = Figure("TimeToOffA", 1.25, 0.0, 1.0, MeasurementOutcome::Fail);
const MeasurementRecord kV4Low = Figure("V4", 2.30, 2.40, 4.5, MeasurementOutcome::Fail);
const MeasurementRecord kOnFine =
    Figure("TimeToOn", 3.1, std::nullopt, 3.5, MeasurementOutcome::Pass);
const MeasurementRecord kV1c1Low = Figure("V1.c1", 2.1, 2.4, 2.8, MeasurementOutcome::Fail);

// Writes what a station's recorder writes, event by event, at chosen times.
class Line {
  public:
    explicit Line(SqlConnection& db) : db_(db) {}

    void Start(const std::string& uuid, const std::string& host, const std::string& fixture,
               const std::string& serial, double minutesAgo, const std::string& model = "X100") {
        RunStart run;
        run.uuid = uuid;
        run.startedAt = MinutesAgo(minutesAgo);
        run.host = host;
        run.fixture = fixture;
        run.planName = "three.csv";
        run.planSha256 = "three-rows";
        run.planText =
            "Three tests\r\nLabel,T1,T2,T3,T4,Option,Repetitions\r\n"
            "A,1.5,2,0.25,3,2\r\nB,1.5,2,0.25,3,7\r\nC,0,5,5,2.0,5000,3\r\n";
        run.unit.model = model;
        run.unit.serial = serial;
        runs_[uuid] = run;
        Write(RunBegan{run});
    }

    void BeginTest(const std::string& uuid, int index, double minutesAgo) {
        tests_[{uuid, index}] = {index, {}, "cycle", MinutesAgo(minutesAgo)};
        Write(TestBegan{uuid, tests_[{uuid, index}]});
        ++tallies_[uuid].begun;
        Write(RunTallied{runs_[uuid], tallies_[uuid]});
    }

    void EndTest(const std::string& uuid, int index, double minutesAgo, RecordEnd how,
                 std::vector<MeasurementRecord> figures = {}, const char* verdict = "PASS") {
        TestFinish finish{how, "", std::move(figures), std::nullopt, MinutesAgo(minutesAgo)};
        if (how == Completed) {
            finish.verdict = Verdict{StoredVerdict::Read(verdict), ""};
        }
        CountTestEnd(tallies_[uuid], finish);
        Write(TestEnded{uuid, tests_[{uuid, index}], finish});
        Write(RunTallied{runs_[uuid], tallies_[uuid]});
    }

    void End(const std::string& uuid, double minutesAgo, RecordEnd how,
             const std::string& verdict) {
        Write(RunEnded{runs_[uuid],
                       {how, "", MinutesAgo(minutesAgo), VerdictWritten(verdict)},
                       tallies_[uuid]});
    }

    // A whole run of completed tests, one figure list a test.
    void Run(const std::string& uuid, const std::string& host, const std::string& fixture,
             const std::string& serial, double minutesAgo, const std::string& verdict,
             const std::vector<std::vector<MeasurementRecord>>& tests,
             const std::string& model = "X100") {
        Start(uuid, host, fixture, serial, minutesAgo, model);
        for (std::size_t i = 0; i < tests.size(); ++i) {
            BeginTest(uuid, static_cast<int>(i), minutesAgo - 0.5);
            const bool failed = std::any_of(tests[i].begin(), tests[i].end(), [](const auto& m) {
                return m.outcome == MeasurementOutcome::Fail;
            });
            EndTest(uuid, static_cast<int>(i), minutesAgo - 1, Completed, tests[i],
                    failed ? "FAIL" : "PASS");
        }
        End(uuid, minutesAgo - 2, Completed, verdict);
    }

    void Switch(const std::string& uuid, int testIndex, std::int64_t seq, std::int64_t ms) {
        Write(LineSwitched{{uuid, seq, testIndex}, {ms, 4, true}});
    }

    void Alarm(const std::string& uuid, int testIndex, const std::string& measurement, int rule,
               double minutesAgo) {
        Write(AlarmRaised{uuid,
                          {testIndex, measurement, rule, "above",
                           "Drift: " + measurement + " (rule " + std::to_string(rule) + ")",
                           MinutesAgo(minutesAgo)}});
    }

    void Write(const RecordEvent& event) {
        std::vector<RowWrite> rows;
        AppendEventRows(event, rows);
        const auto written = WriteRows(db_, rows);
        ASSERT_TRUE(written.Ok()) << written.Error().why;
    }

  private:
    SqlConnection& db_;
    std::map<std::string, RunStart> runs_;
    std::map<std::string, RunTally> tallies_;
    std::map<std::pair<std::string, int>, TestRecordStart> tests_;
};

// Model D7's history, a unit every ten minutes from four days ago: test 0's
// TimeToOffA settles for 25 units, then jumps and stays up; its TimeToOffB
// creeps just above the centre from unit 25 on, which only 8 units in a row
// tell; test 1's TimeToOn jumps once at unit 27 and comes back. The last 15
// units abandon test 0, so its series' newest units lie further back than
// the model's last 20 runs. Each alarm as the station raised it, with its
// unit's run.
void RecordDriftHistory(Line& line) {
    const auto minutesAgo = [](int unit) { return 4 * 24 * 60 - unit * 10.0; };
    const auto judgedNot = MeasurementOutcome::NotJudged;
    for (int unit = 0; unit < 34; ++unit) {
        const double wobble = unit % 2 == 0 ? 0.0 : 0.02;
        const double offA = unit < 25 ? 0.50 + wobble : 0.60;
        const double offB = unit < 25 ? 0.80 + wobble : 0.82;
        const double on = unit == 27 ? 3.50 : 3.10 + wobble;
        const std::string name = "D7-" + std::to_string(unit);
        line.Run(name, "", "", name, minutesAgo(unit), "PASS",
                 {{Figure("TimeToOffA", offA, std::nullopt, std::nullopt, judgedNot),
                   Figure("TimeToOffB", offB, std::nullopt, std::nullopt, judgedNot)},
                  {Figure("TimeToOn", on, std::nullopt, std::nullopt, judgedNot)}},
                 "D7");
    }
    for (int unit = 34; unit < 49; ++unit) {
        const std::string name = "D7-" + std::to_string(unit);
        line.Start(name, "", "", name, minutesAgo(unit), "D7");
        line.BeginTest(name, 0, minutesAgo(unit));
        line.EndTest(name, 0, minutesAgo(unit) - 1, Abandoned);
        line.BeginTest(name, 1, minutesAgo(unit) - 1);
        line.EndTest(
            name, 1, minutesAgo(unit) - 2, Completed,
            {Figure("TimeToOn", 3.10 + (unit % 2) * 0.02, std::nullopt, std::nullopt, judgedNot)});
        line.End(name, minutesAgo(unit) - 2, Completed, "ERROR");
    }
    const auto raisedAt = [&](int unit) { return minutesAgo(unit) - 3; };
    line.Alarm("D7-25", 0, "TimeToOffA", 1, raisedAt(25));
    line.Alarm("D7-26", 0, "TimeToOffA", 2, raisedAt(26));
    line.Alarm("D7-27", 1, "TimeToOn", 1, raisedAt(27));
    line.Alarm("D7-32", 0, "TimeToOffB", 4, raisedAt(32) + 1);
    line.Alarm("D7-32", 0, "TimeToOffA", 4, raisedAt(32));
}

// Today began 900 minutes ago, the stations' look-back 1440.
void RecordTheLine(Line& line) {
    // line-a F1: failed a unit this morning, tests the next one now.
    line.Run("y-1", "line-a", "F1", "S-10", 1000, "FAIL", {{kV1c1Low}});
    line.Run("a1-old", "line-a", "F1", "S-1", 300, "FAIL",
             {{kOffAHigh, kOnFine}, {kOffAHigh}, {kV4Low}});
    line.Start("a1-now", "line-a", "F1", "S-2", 3);
    line.BeginTest("a1-now", 0, 3);
    line.EndTest("a1-now", 0, 2, Completed, {kOnFine});
    line.BeginTest("a1-now", 1, 1);
    // line-a F2: idle for two hours after the retest of S-1 passed.
    line.Run("a2-1", "line-a", "F2", "S-3", 200, "PASS", {{kOnFine}});
    line.Run("a2-2", "line-a", "F2", "S-1", 130, "PASS", {{kOnFine}});
    // line-b F1: a failure, a stop, then silence for half an hour mid-test.
    line.Run("b1-0", "line-b", "F1", "S-9", 120, "FAIL", {{kOffAHigh}});
    line.Start("b1-1", "line-b", "F1", "S-4", 100);
    line.BeginTest("b1-1", 0, 99);
    line.EndTest("b1-1", 0, 95, Stopped);
    line.End("b1-1", 95, Stopped, "ERROR");
    line.Start("b1-2", "line-b", "F1", "S-5", 40);
    line.BeginTest("b1-2", 0, 40);
    line.Switch("b1-2", 0, 0, 5 * 60000);  // five minutes into the test, 35 minutes ago
    // line-b F2: a unit in error, one abandoned, one in a long test heard of
    // two minutes ago through its trace alone.
    line.Start("b2-0", "line-b", "F2", "S-8", 90);
    line.BeginTest("b2-0", 0, 90);
    line.EndTest("b2-0", 0, 89, Completed, {kOnFine});
    line.BeginTest("b2-0", 1, 89);
    line.EndTest("b2-0", 1, 87, Abandoned);
    line.End("b2-0", 86, Completed, "ERROR");
    line.Start("b2-1", "line-b", "F2", "S-6", 60);
    line.End("b2-1", 58, Abandoned, "ERROR");
    line.Start("b2-2", "line-b", "F2", "S-7", 31);
    line.BeginTest("b2-2", 0, 30);
    line.Switch("b2-2", 0, 0, 1000);
    line.Switch("b2-2", 0, 1, 28 * 60000);
    // A station that recorded nothing since yesterday morning has no card.
    line.Run("c-old", "line-c", "F9", "S-11", 2000, "PASS", {{kOnFine}});
}

void ExpectCards(const LineView& view) {
    ASSERT_EQ(view.fixtures.size(), 4u);
    const FixtureCard& testing = view.fixtures[0];
    EXPECT_EQ(testing.host + "/" + testing.fixture, "line-a/F1");
    EXPECT_EQ(testing.state, FixtureState::Testing);
    EXPECT_EQ(testing.runUuid, "a1-now");
    EXPECT_EQ(testing.serial, "S-2");
    EXPECT_EQ(testing.startedAt, MinutesAgo(3));
    EXPECT_EQ(testing.lastSeenAt, MinutesAgo(1));  // its second test began
    EXPECT_EQ(testing.testsBegun, 2);
    EXPECT_EQ(testing.testsInPlan, 3);
    EXPECT_EQ(testing.lastSerial, "S-1");
    EXPECT_EQ(testing.lastEndedAt, MinutesAgo(298));
    EXPECT_EQ(testing.lastEndedHow, "completed");
    EXPECT_EQ(testing.lastVerdict, "FAIL");

    const FixtureCard& idle = view.fixtures[1];
    EXPECT_EQ(idle.fixture, "F2");
    EXPECT_EQ(idle.state, FixtureState::Idle);
    EXPECT_EQ(idle.runUuid, "a2-2");
    EXPECT_EQ(idle.lastSeenAt, MinutesAgo(128));
    EXPECT_EQ(idle.lastSerial, "S-1");
    EXPECT_EQ(idle.lastVerdict, "PASS");

    const FixtureCard& silent = view.fixtures[2];
    EXPECT_EQ(silent.host + "/" + silent.fixture, "line-b/F1");
    EXPECT_EQ(silent.state, FixtureState::NotSeen);
    EXPECT_EQ(silent.serial, "S-5");
    EXPECT_EQ(silent.lastSeenAt, MinutesAgo(35));
    EXPECT_EQ(silent.testsBegun, 1);
    EXPECT_EQ(silent.lastSerial, "S-4");
    EXPECT_EQ(silent.lastEndedHow, "stopped");
    EXPECT_EQ(silent.lastVerdict, "ERROR");

    const FixtureCard& longTest = view.fixtures[3];
    EXPECT_EQ(longTest.state, FixtureState::Testing);
    EXPECT_EQ(longTest.lastSeenAt, MinutesAgo(2));
    EXPECT_EQ(longTest.lastSerial, "S-6");
    EXPECT_EQ(longTest.lastEndedHow, "abandoned");
    // line-b F2 turns not seen first: heard of two minutes ago.
    EXPECT_EQ(view.recheckAt, UtcIsoTime(kNow + 8min + 1ms));
}

void ExpectYieldAndPareto(const LineView& view) {
    ASSERT_EQ(view.yieldToday.size(), 1u);  // D7 and yesterday's runs are not today's
    const YieldRow& x100 = view.yieldToday[0];
    EXPECT_EQ(x100.group, "X100");
    EXPECT_EQ(x100.units, 9);
    EXPECT_EQ(x100.judgedUnits, 4);  // S-1, S-3, S-8, S-9
    EXPECT_EQ(x100.firstPass, 1);
    EXPECT_EQ(x100.finalPass, 2);
    EXPECT_EQ(x100.retests, 1);
    EXPECT_EQ(x100.lostRuns, 2);

    std::vector<std::pair<std::string, std::int64_t>> pareto;
    for (const FailureReason& reason : view.pareto) {
        pareto.emplace_back(reason.reason, reason.runs);
    }
    // TimeToOffA failed in b1-0's first test and a1-old's first and second:
    // a reason a test. Yesterday's V1.c1 is left out.
    EXPECT_EQ(pareto, (std::vector<std::pair<std::string, std::int64_t>>{
                          {"Test 1: Time to OFF (A) above the 1.00 s maximum", 2},
                          {"ERROR: abandoned", 1},
                          {"ERROR: not completed", 1},
                          {"ERROR: stopped", 1},
                          {"Test 2: Time to OFF (A) above the 1.00 s maximum", 1},
                          {"Test 3: Level 4 light below the 2.40 V minimum", 1}}));
    ASSERT_TRUE(view.pareto[0].worst);
    EXPECT_EQ(WorstValueText(*view.pareto[0].worst), "1.25 s");
}

void ExpectOpenAlarms(const LineView& view) {
    // TimeToOn came back after unit 27: its alarm holds no longer.
    ASSERT_EQ(view.alarms.size(), 2u);
    const OpenAlarm& offA = view.alarms[0];
    EXPECT_EQ(offA.model, "D7");
    EXPECT_EQ(offA.series, "TimeToOffA");
    EXPECT_EQ(offA.testIndex, 0);
    EXPECT_EQ(offA.rule, 4);
    EXPECT_EQ(offA.side, "above");
    EXPECT_EQ(offA.text, "Drift: TimeToOffA (rule 4)");
    EXPECT_EQ(offA.raisedAt, MinutesAgo(4 * 24 * 60 - 320 - 3));
    EXPECT_EQ(offA.serial, "D7-32");
    EXPECT_EQ(offA.runUuid, "D7-32");
    EXPECT_EQ(offA.alarmsLately, 3);
    EXPECT_EQ(offA.newestSerial, "D7-33");
    EXPECT_NE(offA.newestBreaks.find("(rule 1)"), std::string::npos) << offA.newestBreaks;
    // Only a window wider than the model's last 20 runs holds the 8 units.
    const OpenAlarm& offB = view.alarms[1];
    EXPECT_EQ(offB.series, "TimeToOffB");
    EXPECT_EQ(offB.alarmsLately, 1);
    EXPECT_EQ(offB.newestSerial, "D7-33");
    EXPECT_EQ(offB.newestBreaks, "8 units in a row above the centre (rule 4)");
}

struct Change {
    const char* what;
    std::function<void(Line&)> make;
};

// Every change a page shows moves the mark, whatever it changes; reading
// again without a change, or a station forwarding rows already stored, does
// not.
void ExpectTheMarkMovesWithEachChange(SqlConnection& reader, Line& line) {
    const std::vector<Change> changes{
        {"a run starts", [](Line& l) { l.Start("c1", "line-a", "F2", "S-12", 0.5); }},
        {"a test begins", [](Line& l) { l.BeginTest("c1", 0, 0.4); }},
        {"a test ends", [](Line& l) { l.EndTest("c1", 0, 0.3, Completed, {kOnFine}); }},
        {"another test begins", [](Line& l) { l.BeginTest("c1", 1, 0.3); }},
        {"a test is abandoned, the run going on",
         [](Line& l) { l.EndTest("c1", 1, 0.2, Abandoned); }},
        {"a run ends", [](Line& l) { l.End("c1", 0.1, Completed, "ERROR"); }},
        {"a run's end lands late, older than the newest end",
         [](Line& l) { l.End("b1-2", 36, Abandoned, "ERROR"); }},
        {"an alarm on a run older than the newest alarmed",
         [](Line& l) { l.Alarm("D7-10", 0, "TimeToOffB", 3, 1); }},
        {"an alarm on the newest run", [](Line& l) { l.Alarm("c1", 0, "TimeToOn", 1, 0); }},
    };
    Result<std::string> mark = LineChangeMark(reader);
    ASSERT_TRUE(mark.Ok()) << mark.Error();
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        change.make(line);
        const Result<std::string> moved = LineChangeMark(reader);
        ASSERT_TRUE(moved.Ok()) << moved.Error();
        EXPECT_NE(*moved, *mark);
        EXPECT_EQ(*LineChangeMark(reader), *moved);
        mark = moved;
    }
    line.End("c1", 0.1, Completed, "ERROR");  // forwarded again from a spool
    line.Alarm("c1", 0, "TimeToOn", 1, 0);
    EXPECT_EQ(*LineChangeMark(reader), *mark);
}

// A new database holding what `record` writes, with a connection that
// writes more of the line and one that reads it; `problem` says why not.
struct LineRecords {
    std::unique_ptr<SqlConnection> writer;
    std::optional<Line> line;
    std::unique_ptr<SqlConnection> reader;
    std::string problem;
};

LineRecords RecordedLine(const std::string& target, const std::function<void(Line&)>& record) {
    LineRecords records;
    auto writer = OpenRecordDatabase(target);
    if (!writer) {
        records.problem = writer.Error();
        return records;
    }
    records.writer = std::move(writer).Value();
    records.line.emplace(*records.writer);
    record(*records.line);
    auto reader = OpenRecordsToRead(target);
    if (!reader || !*reader) {
        records.problem = reader ? "no schema" : reader.Error();
        return records;
    }
    records.reader = std::move(reader).Value();
    return records;
}

void ExpectTheLineOn(const std::string& target) {
    SCOPED_TRACE(target);
    LineRecords records = RecordedLine(target, [](Line& line) {
        RecordDriftHistory(line);
        RecordTheLine(line);
    });
    ASSERT_EQ(records.problem, "");
    Line& line = *records.line;
    SqlConnection& reader = *records.reader;

    const Result<LineView> view = LoadLineView(reader, Moment());
    ASSERT_TRUE(view.Ok()) << view.Error();
    EXPECT_EQ(view->moment.todayStart, "2026-12-08T00:00:00.000Z");
    ExpectCards(*view);
    ExpectYieldAndPareto(*view);
    ExpectOpenAlarms(*view);
    ExpectTheMarkMovesWithEachChange(reader, line);

    LineMoment unreadable = Moment();
    unreadable.alarmsSince = "last week";
    const Result<LineView> refused = LoadLineView(reader, unreadable);
    ASSERT_FALSE(refused.Ok());
    EXPECT_NE(refused.Error().find("\"last week\" is no UTC time"), std::string::npos);
}

// Everything a page shows of an alarm, to compare two reads.
std::vector<std::string> Shown(const std::vector<OpenAlarm>& alarms) {
    std::vector<std::string> shown;
    for (const OpenAlarm& a : alarms) {
        shown.push_back(a.model + "|" + a.series + "|" + std::to_string(a.testIndex) + "|" +
                        a.measurement + "|" + std::to_string(a.rule) + "|" + a.side + "|" + a.text +
                        "|" + a.raisedAt + "|" + a.serial + "|" + a.runUuid + "|" +
                        std::to_string(a.alarmsLately) + "|" + a.newestSerial + "|" +
                        a.newestBreaks);
    }
    return shown;
}

// A reader that keeps its judgements between reads answers as a first read
// does, after each of a random run of what a line records: units of the
// alarmed model that bring its series back or keep it out, tests that end
// while their run goes on, late ends, new alarms, and units of another model
// or of the model on another station, which leave the alarmed series'
// judgement as it was.
void ExpectAKeptJudgementNeverGoesStale(const std::string& target, unsigned seed) {
    SCOPED_TRACE(target + ", seed " + std::to_string(seed));
    LineRecords records = RecordedLine(target, RecordDriftHistory);
    ASSERT_EQ(records.problem, "");
    Line& line = *records.line;
    SqlConnection& reader = *records.reader;
    const std::string since = Moment().alarmsSince;
    OpenAlarmsReader kept({.movedEvery = std::chrono::seconds(0)});
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::vector<std::string> begun, tested;  // runs in progress, in or past their test
    std::set<std::vector<std::string>> seen;
    double minutesAgo = 1000;
    for (int step = 0; step < 40; ++step) {
        minutesAgo -= 5;
        const std::string uuid = "n" + std::to_string(step);
        const double offA = pick(2) == 0 ? 0.51 : 0.60;
        const auto judgedNot = MeasurementOutcome::NotJudged;
        switch (pick(7)) {
            case 0:  // a whole unit of the alarmed model
                line.Run(uuid, "", "", uuid, minutesAgo, "PASS",
                         {{Figure("TimeToOffA", offA, std::nullopt, std::nullopt, judgedNot),
                           Figure("TimeToOffB", 0.81, std::nullopt, std::nullopt, judgedNot)}},
                         "D7");
                break;
            case 1:  // a unit starts its test
                line.Start(uuid, "", "", uuid, minutesAgo, "D7");
                line.BeginTest(uuid, 0, minutesAgo);
                begun.push_back(uuid);
                break;
            case 2:  // and ends it, the run going on
                if (!begun.empty()) {
                    line.EndTest(
                        begun.back(), 0, minutesAgo, Completed,
                        {Figure("TimeToOffA", offA, std::nullopt, std::nullopt, judgedNot)});
                    tested.push_back(begun.back());
                    begun.pop_back();
                    break;
                }
                [[fallthrough]];
            case 3:  // a run in progress ends
                if (!tested.empty()) {
                    line.End(tested.back(), minutesAgo, Completed, "PASS");
                    tested.pop_back();
                    break;
                }
                [[fallthrough]];
            case 4:  // another model's unit
                line.Run(uuid, "h", "F3", uuid, minutesAgo, "PASS",
                         {{Figure("TimeToOffA", 0.9, std::nullopt, std::nullopt, judgedNot)}},
                         "Q1");
                break;
            case 5:  // a unit of the model on another station, of another series
                line.Run(uuid, "h", "F9", uuid, minutesAgo, "PASS",
                         {{Figure("TimeToOffA", 0.51, std::nullopt, std::nullopt, judgedNot)}},
                         "D7");
                break;
            default:  // the station alarms on the model's newest unit
                line.Run(uuid, "", "", uuid, minutesAgo, "PASS",
                         {{Figure("TimeToOffA", 0.60, std::nullopt, std::nullopt, judgedNot)}},
                         "D7");
                line.Alarm(uuid, 0, "TimeToOffA", 1, minutesAgo - 3);
                break;
        }
        const Result<std::vector<OpenAlarm>> again = kept.Read(reader, since);
        const Result<std::vector<OpenAlarm>> first = LoadOpenAlarms(reader, since);
        ASSERT_TRUE(again.Ok() && first.Ok()) << (again.Ok() ? first.Error() : again.Error());
        ASSERT_EQ(Shown(*again), Shown(*first)) << "step " << step;
        seen.insert(Shown(*first));
    }
    // The run went through alarms that hold and alarms that came back.
    EXPECT_GE(seen.size(), 3u);
}

// A property checked over three seeds on new SQLite files, and over a
// fourth on a server where Debian's is installed.
void OnSeededLines(const std::function<void(const std::string&, unsigned)>& expect) {
    const BothDatabases databases("seeded.sqlite");
    ASSERT_EQ(databases.Problem(), "");
    for (unsigned seed = 1; seed <= 3; ++seed) {
        TempFolder folder;
        expect((folder / "line.sqlite").string(), seed);
    }
    for (std::size_t server = 1; server < databases.Targets().size(); ++server) {
        expect(databases.Targets()[server], 4);
    }
}

TEST(LineViewTest, AlarmsJudgedAgainOnlyWhereTheirModelMovedAreNeverStale) {
    OnSeededLines(ExpectAKeptJudgementNeverGoesStale);
}

// While the alarmed model records or alarms again, its judgement is held back
// until it is `movedEvery` old, and says when it is due; a model that alarms
// for the first time is judged at once.
TEST(LineViewTest, AJudgementHeldBackWhileItsModelRecordsIsDueWithinItsInterval) {
    TempFolder folder;
    const std::string target = (folder / "held.sqlite").string();
    LineRecords records = RecordedLine(target, RecordDriftHistory);
    ASSERT_EQ(records.problem, "");
    Line& line = *records.line;
    SqlConnection& reader = *records.reader;
    const std::string since = Moment().alarmsSince;
    using std::chrono::seconds;
    OpenAlarmsReader kept({.movedEvery = seconds(10), .allEvery = seconds(3600)});
    const auto firstRead = [&] {
        const Result<std::vector<OpenAlarm>> first = LoadOpenAlarms(reader, since);
        EXPECT_TRUE(first.Ok()) << first.Error();
        return first.Ok() ? Shown(*first) : std::vector<std::string>{};
    };
    const auto keptRead = [&](seconds at) {
        const auto read = kept.Read(reader, since, OpenAlarmsReader::Clock::time_point(at));
        EXPECT_TRUE(read.Ok()) << read.Error();
        return read.Ok() ? Shown(*read) : std::vector<std::string>{};
    };
    const std::vector<std::string> before = firstRead();
    ASSERT_EQ(keptRead(seconds(100)), before);
    EXPECT_FALSE(kept.HeldBackUntil());

    // Units back on the centre until the records no longer hold an alarm of
    // the model's TimeToOffA as the reader judged it.
    const auto judgedNot = MeasurementOutcome::NotJudged;
    double minutesAgo = 1000;
    for (int unit = 0; unit < 12 && firstRead() == before; ++unit) {
        const std::string uuid = "back" + std::to_string(unit);
        line.Run(uuid, "", "", uuid, minutesAgo -= 5, "PASS",
                 {{Figure("TimeToOffA", 0.51, std::nullopt, std::nullopt, judgedNot),
                   Figure("TimeToOffB", 0.81, std::nullopt, std::nullopt, judgedNot)}},
                 "D7");
        EXPECT_EQ(keptRead(seconds(101 + unit % 2)), before) << "unit " << unit;
    }
    const std::vector<std::string> after = firstRead();
    ASSERT_NE(after, before) << "the units did not end an alarm";
    EXPECT_EQ(kept.HeldBackUntil(), OpenAlarmsReader::Clock::time_point(seconds(110)));
    EXPECT_EQ(keptRead(seconds(109)), before);
    EXPECT_EQ(keptRead(seconds(110)), after);
    EXPECT_FALSE(kept.HeldBackUntil());

    // A further alarm of a series waits for its judgement to be due; a model
    // that alarms for the first time shows at once.
    line.Run("out", "", "", "out", minutesAgo -= 5, "PASS",
             {{Figure("TimeToOffA", 0.60, std::nullopt, std::nullopt, judgedNot)}}, "D7");
    line.Alarm("out", 0, "TimeToOffA", 1, minutesAgo - 3);
    ASSERT_NE(firstRead(), after);
    EXPECT_EQ(keptRead(seconds(111)), after);
    for (int unit = 0; unit < 28; ++unit) {
        const std::string uuid = "E5-" + std::to_string(unit);
        const double offA = unit < 25 ? 0.50 + (unit % 2) * 0.02 : 0.60;
        line.Run(uuid, "h", "F2", uuid, minutesAgo -= 1, "PASS",
                 {{Figure("TimeToOffA", offA, std::nullopt, std::nullopt, judgedNot)}}, "E5");
    }
    line.Alarm("E5-27", 0, "TimeToOffA", 1, minutesAgo - 0.5);
    std::vector<std::string> expected = after;
    for (const std::string& alarm : firstRead()) {
        if (alarm.starts_with("E5|")) {
            expected.push_back(alarm);
        }
    }
    ASSERT_EQ(expected.size(), after.size() + 1);
    std::vector<std::string> shown = keptRead(seconds(112));
    std::sort(shown.begin(), shown.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(keptRead(seconds(120)), firstRead());
}

// Everything a page shows of the fixtures, yield and failure reasons.
std::vector<std::string> ShownRuns(const std::vector<FixtureCard>& cards,
                                   const std::vector<YieldRow>& yield,
                                   const std::vector<FailureReason>& pareto) {
    std::vector<std::string> shown;
    for (const FixtureCard& c : cards) {
        shown.push_back(c.host + "|" + c.fixture + "|" + std::to_string(int(c.state)) + "|" +
                        c.lastSeenAt + "|" + c.runUuid + "|" + c.serial + "|" + c.model + "|" +
                        c.startedAt + "|" + std::to_string(c.testsBegun) + "|" +
                        std::to_string(c.testsInPlan) + "|" + c.lastSerial + "|" + c.lastEndedAt +
                        "|" + c.lastEndedHow + "|" + c.lastVerdict);
    }
    for (const YieldRow& y : yield) {
        std::string row = std::string("yield ").append(y.group);
        for (const std::int64_t n :
             {y.tests, y.units, y.completed, y.abandoned, y.passed, y.failed, y.judgedUnits,
              y.firstPass, y.finalPass, y.stillFailing, y.retests, y.lostRuns, y.lostMs}) {
            row.append(" ").append(std::to_string(n));
        }
        shown.push_back(row);
    }
    for (const FailureReason& reason : pareto) {
        shown.push_back(std::string("pareto ")
                            .append(reason.reason)
                            .append(" ")
                            .append(std::to_string(reason.runs))
                            .append(reason.worst ? std::string(" ") + WorstValueText(*reason.worst)
                                                 : std::string()));
    }
    return shown;
}

// A reader that keeps the window's runs between reads shows the fixtures,
// the yield and the failure reasons as a first read does, after each of a
// random run of what stations record: units started, tested and ended
// (passed, failed on a measurement, stopped, abandoned), whole runs landing
// at once, ends landing late, runs before today and before the window; and
// its yield and reasons are those the records' own queries count.
void ExpectKeptRunsNeverGoStale(const std::string& target, unsigned seed) {
    SCOPED_TRACE(target + ", seed " + std::to_string(seed));
    LineRecords records = RecordedLine(target, RecordTheLine);
    ASSERT_EQ(records.problem, "");
    Line& line = *records.line;
    SqlConnection& reader = *records.reader;
    // One writer here: its keys commit in their order, so none need settle.
    LineRunsReader keptRuns(std::chrono::seconds(3600), std::chrono::seconds(0));
    OpenAlarmsReader keptAlarms;
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const char* const serials[] = {"P-1", "P-2", "P-3", ""};
    const char* const models[] = {"X100", "Z9"};
    std::map<std::string, int> open;  // run in progress: its tests begun
    std::set<std::string> changed;
    for (int step = 0; step < 60; ++step) {
        const std::string uuid = "k" + std::to_string(step);
        const double minutesAgo = pick(8) == 0 ? 1000 + pick(600) : 100 - step;
        const std::string host = pick(2) == 0 ? "line-a" : "line-d";
        const std::string fixture = "F" + std::to_string(pick(2) + 1);
        const std::string serial = serials[pick(4)], model = models[pick(2)];
        const auto run = std::next(open.begin(), open.empty() ? 0 : pick(int(open.size())));
        const int what = open.empty() ? pick(2) : pick(6);
        if (what == 0) {
            line.Start(uuid, host, fixture, serial, minutesAgo, model);
            open[uuid] = 0;
        } else if (what == 1) {
            const bool failed = pick(2) == 0;
            line.Run(uuid, host, fixture, serial, minutesAgo, failed ? "FAIL" : "PASS",
                     {{failed ? (pick(2) ? kOffAHigh : kV4Low) : kOnFine}}, model);
        } else if (what == 2) {
            line.BeginTest(run->first, run->second++, 0.5);
        } else if (what == 3 && run->second > 0) {
            const bool failed = pick(2) == 0;
            line.EndTest(run->first, run->second - 1, 0.4, pick(4) ? Completed : Abandoned,
                         {failed ? kOffAHigh : kOnFine}, failed ? "FAIL" : "PASS");
        } else {
            const char* const verdicts[] = {"PASS", "FAIL", "ERROR"};
            const RecordEnd how = pick(3) ? Completed : (pick(2) ? Stopped : Abandoned);
            line.End(run->first, pick(3) ? 0.2 : 50, how,
                     how == Completed ? verdicts[pick(3)] : "ERROR");
            open.erase(run);
        }
        const Result<LineView> kept = LoadLineView(reader, Moment(), keptRuns, keptAlarms);
        const Result<LineView> first = LoadLineView(reader, Moment());
        ASSERT_TRUE(kept.Ok() && first.Ok()) << (kept.Ok() ? first.Error() : kept.Error());
        const auto shown = ShownRuns(kept->fixtures, kept->yieldToday, kept->pareto);
        ASSERT_EQ(shown, ShownRuns(first->fixtures, first->yieldToday, first->pareto))
            << "step " << step;
        Result<std::vector<YieldRow>> counted =
            QueryYield(reader, YieldGrouping::Model, {.since = Moment().todayStart});
        const Result<Pareto> reasons =
            QueryPareto(reader, ParetoGrouping::Reason, {.since = Moment().todayStart});
        ASSERT_TRUE(counted.Ok() && reasons.Ok());
        std::sort(counted->begin(), counted->end(),
                  [](const YieldRow& a, const YieldRow& b) { return a.group < b.group; });
        ASSERT_EQ(ShownRuns({}, kept->yieldToday, kept->pareto),
                  ShownRuns({}, *counted, reasons->rows))
            << "step " << step;
        changed.insert(Joined(shown, "\n"));
    }
    EXPECT_GE(changed.size(), 40u);  // most steps changed what a page shows
}

TEST(LineViewTest, RunsKeptBetweenReadsAreNeverStale) {
    OnSeededLines(ExpectKeptRunsNeverGoStale);
}

// On a server a station's run may take its key before another station's run
// and commit after it; the kept runs still take it in, and its model moved.
TEST(LineViewTest, ARunCommittedAfterANewerKeyIsKept) {
    const BothDatabases databases("late.sqlite");
    ASSERT_EQ(databases.Problem(), "");
    if (databases.ServerSkipped()) {
        GTEST_SKIP() << "Debian's postgresql is not installed";
    }
    const std::string& server = databases.Targets()[1];
    auto slow = OpenRecordDatabase(server), fast = OpenRecordDatabase(server);
    auto reader = OpenRecordsToRead(server);
    ASSERT_TRUE(slow.Ok() && fast.Ok() && reader.Ok() && *reader);
    Line slowLine(**slow), fastLine(**fast);
    fastLine.Run("before", "line-a", "F1", "S-1", 30, "PASS", {{kOnFine}});
    using std::chrono::seconds;
    LineRunsReader kept(seconds(3600), seconds(5));
    ModelMovement movement(seconds(5));
    // The runs kept, and the models moved, at `at` seconds.
    const auto read = [&](int at) {
        const LineRunsReader::Clock::time_point now{seconds(at)};
        const auto runs = kept.Read(**reader, Moment().stationsSince, now);
        const auto moved = movement.Since(**reader, now);
        EXPECT_TRUE(runs.Ok() && moved.Ok());
        std::set<std::string> seen;
        for (const auto& [uuid, run] : runs.Ok() ? **runs : LineRuns{}) {
            seen.insert(uuid);
        }
        for (const std::string& model : moved.Ok() ? moved->models : std::set<std::string>{}) {
            seen.insert("model " + model);
        }
        return seen;
    };
    EXPECT_EQ(read(0), (std::set<std::string>{"before"}));
    EXPECT_EQ(read(6), (std::set<std::string>{"before"}));
    ASSERT_TRUE((*slow)->Run("BEGIN").Ok() && EnsureRunKey(**slow, "late").Ok());
    fastLine.Run("newer", "line-a", "F2", "S-2", 20, "PASS", {{kOnFine}}, "N1");
    // Read long after the one before, as on a quiet line: the key taken
    // then is still read again next time.
    EXPECT_EQ(read(20), (std::set<std::string>{"before", "newer", "model N1"}));
    slowLine.Start("late", "line-b", "F1", "S-3", 25, "L1");  // commits the key with it
    slowLine.End("late", 24, Completed, "FAIL");
    const std::set<std::string> late = read(40);
    EXPECT_TRUE(late.contains("late") && late.contains("model L1"));
}

TEST(LineViewTest, ReadsTheLineFromSqliteAndFromAServer) {
    const BothDatabases databases("line.sqlite");
    ASSERT_EQ(databases.Problem(), "");
    for (const std::string& target : databases.Targets()) {
        ExpectTheLineOn(target);
    }
    if (databases.ServerSkipped()) {
        GTEST_SKIP() << "Debian's postgresql is not installed: SQLite only";
    }
}

TEST(LineViewTest, AnEmptyDatabaseShowsAnEmptyLine) {
    TempFolder folder;
    const std::string target = (folder / "empty.sqlite").string();
    ASSERT_TRUE(OpenRecordDatabase(target).Ok());
    auto reader = OpenRecordsToRead(target);
    ASSERT_TRUE(reader.Ok() && *reader);
    const Result<LineView> view = LoadLineView(**reader, Moment());
    ASSERT_TRUE(view.Ok()) << view.Error();
    EXPECT_TRUE(view->fixtures.empty() && view->yieldToday.empty() && view->pareto.empty() &&
                view->alarms.empty() && view->recheckAt.empty());
    EXPECT_EQ(*LineChangeMark(**reader),
              "runs -, ended -, open 0:0000000000000000, alarms 0/-, acknowledged 0");
}

}  // namespace
}  // namespace orvalt::test
