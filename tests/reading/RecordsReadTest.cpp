// History, yield and the command line over a database of known runs.

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "cli/ExitStatus.h"
#include "cli/RecordsCommands.h"
#include "domain/PrintableText.h"
#include "output/YieldTable.h"
#include "reading/History.h"
#include "reading/Rejudge.h"
#include "reading/RunLoad.h"
#include "reading/Yield.h"
#include "recording/EventRows.h"
#include "recording/Spool.h"
#include "support/ChildProcess.h"
#include "support/JudgedRunsKit.h"
#include "support/OldSchemaKit.h"
#include "support/PgCluster.h"
#include "support/RecordsKit.h"
#include "support/StoredWords.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;
using enum RecordEnd;

struct RunPlan {
    std::string uuid, startedAt, model, driver, serial;
    std::vector<RecordEnd> tests;
    std::vector<std::optional<std::string>> verdicts;
    // How the run ended (none: it goes on), when, and the unit's verdict.
    std::optional<RecordEnd> how = RecordEnd::Completed;
    std::string endedAt{};
    std::string unitVerdict{};
    std::string lot{}, fixture{};
    std::string host = "bench-3";
};

class RecordsReadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        OpenDatabase();
        ASSERT_TRUE(db_);
        Add({"r1",
             "2026-11-30T08:00:00.000Z",
             "X100",
             "D-200",
             "SN-1",
             {Completed, Completed},
             {"PASS", "FAIL"}});
        Add({"r2",
             "2026-12-01T09:00:00.000Z",
             "X100",
             "D-200",
             "SN-2",
             {Completed, Abandoned},
             {}});
        Add({"r3", "2026-12-02T10:00:00.000Z", "X100", "D-300", "SN-1", {Completed}, {"PASS"}});
        Add({"r4", "2026-12-02T11:00:00.000Z", "Z9", "D-300", "", {Stopped}, {}});
    }

    void Add(const RunPlan& plan) {
        RunStart run = SampleRun(plan.model, plan.serial);
        run.uuid = plan.uuid;
        run.startedAt = plan.startedAt;
        run.unit.driverModel = plan.driver;
        run.lot = plan.lot;
        run.fixture = plan.fixture;
        run.host = plan.host;
        std::vector<RowWrite> rows;
        RunTally tally;
        for (std::size_t i = 0; i < plan.tests.size(); ++i) {
            TestFinish finish{plan.tests[i], "", {}, std::nullopt, ""};
            if (i < plan.verdicts.size() && plan.verdicts[i]) {
                finish.verdict = Verdict{StoredVerdict::Read(*plan.verdicts[i]), ""};
            }
            AppendEventRows(TestEnded{plan.uuid, SampleTest(static_cast<int>(i)), finish}, rows);
            ++tally.begun;
            CountTestEnd(tally, finish);
        }
        if (plan.how) {
            const std::string ended = plan.endedAt.empty() ? plan.startedAt : plan.endedAt;
            AppendEventRows(
                RunEnded{run, {*plan.how, "", ended, VerdictWritten(plan.unitVerdict)}, tally},
                rows);
        } else {
            AppendEventRows(RunTallied{run, tally}, rows);
        }
        ASSERT_TRUE(WriteRows(*db_, rows, &sealer_).Ok());
    }

    std::vector<std::string> Uuids(const RunFilter& filter) {
        std::vector<std::string> uuids;
        const auto rows = QueryHistory(*db_, filter).Value();
        for (const auto& row : rows) {
            uuids.push_back(row.uuid);
        }
        return uuids;
    }

    void OpenDatabase() {
        auto opened = OpenRecordDatabase(path_);
        ASSERT_TRUE(opened.Ok()) << opened.Error();
        db_ = std::move(opened).Value();
    }

    int Cli(std::vector<std::string> args, std::string& out, std::string& err) {
        std::ostringstream o, e;
        const auto status = RunRecordsCommand(args, o, e);
        out = o.str();
        err = e.str();
        return status.value_or(-1);
    }

    TempFolder folder_;
    std::string path_ = (folder_ / "results.sqlite").string();
    std::unique_ptr<SqlConnection> db_;
    const RunSealer sealer_ = TestSealer(folder_);
};

TEST_F(RecordsReadTest, HistoryIsNewestFirstAndFilters) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Uuids({}), (V{"r4", "r3", "r2", "r1"}));
    EXPECT_EQ(Uuids({.serial = "SN-1"}), (V{"r3", "r1"}));
    EXPECT_EQ(Uuids({.since = "2026-12-01", .model = "X100"}), (V{"r3", "r2"}));
    EXPECT_EQ(Uuids({.model = "Z9", .serial = "SN-1"}), V{});
    const auto rows = QueryHistory(*db_, {.since = "2026-12-01"}).Value();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2].tests, 2);
    EXPECT_EQ(rows[2].completedTests, 1);
}

TEST_F(RecordsReadTest, YieldCountsTestsUnitsOutcomesAndVerdictsPerGroup) {
    const auto byModel = QueryYield(*db_, YieldGrouping::Model, {});
    ASSERT_TRUE(byModel.Ok()) << byModel.Error();
    ASSERT_EQ(byModel->size(), 2u);
    const YieldRow& x100 = (*byModel)[0];
    EXPECT_EQ(x100.group, "X100");
    EXPECT_EQ(x100.tests, 5);
    EXPECT_EQ(x100.units, 2);  // SN-1 twice, SN-2
    EXPECT_EQ(x100.completed, 4);
    EXPECT_EQ(x100.abandoned, 1);
    EXPECT_EQ(x100.passed, 2);
    EXPECT_EQ(x100.failed, 1);
    EXPECT_EQ((*byModel)[1].units, 1);  // a run without serial counts as its own unit
    EXPECT_EQ((*byModel)[1].abandoned, 1);

    const auto byDay = QueryYield(*db_, YieldGrouping::Day, {.since = "2026-12-01"});
    ASSERT_EQ(byDay->size(), 2u);
    EXPECT_EQ((*byDay)[0].group, "2026-12-01");
    EXPECT_EQ((*byDay)[1].group, "2026-12-02");
    EXPECT_EQ((*byDay)[1].tests, 2);

    const auto byDriver = QueryYield(*db_, YieldGrouping::Driver, {});
    ASSERT_EQ(byDriver->size(), 2u);
    EXPECT_EQ((*byDriver)[1].group, "DrvCo D-300");
    EXPECT_EQ((*byDriver)[1].tests, 2);
}

// One lot of units, their attempts interleaved in time: each unit's yield
// follows its completed, judged runs in the order they started.
TEST_F(RecordsReadTest, YieldFollowsEachUnitAcrossItsAttempts) {
    struct Attempt {
        const char* serial;
        int minute;  // of the start, from 09:00
        std::optional<RecordEnd> how;
        const char* verdict;
        int minutes = 0;  // from start to end
    };
    const Attempt attempts[] = {
        {"U1", 0, Completed, "FAIL"},      {"U2", 1, Completed, "PASS"},
        {"U3", 2, Stopped, "ERROR", 10},   {"U1", 3, Completed, "PASS"},
        {"U3", 4, Completed, "FAIL"},      {"U4", 5, Completed, ""},
        {"U4", 6, Completed, "PASS"},      {"U5", 7, Completed, ""},
        {"", 8, Completed, "FAIL"},        {"", 9, Completed, "PASS"},
        {"U6", 10, Abandoned, "ERROR", 5}, {"U3", 11, Completed, "FAIL"},
        {"U2", 12, std::nullopt, ""},
    };
    int n = 0;
    for (const Attempt& a : attempts) {
        char start[48], end[48];
        std::snprintf(start, sizeof start, "2026-12-05T09:%02d:00.000Z", a.minute);
        std::snprintf(end, sizeof end, "2026-12-05T%02d:%02d:30.000Z",
                      9 + (a.minute + a.minutes) / 60, (a.minute + a.minutes) % 60);
        RunPlan plan{std::string("y").append(std::to_string(++n)),
                     start,
                     "L1",
                     "D-1",
                     a.serial,
                     {Completed},
                     {}};
        plan.how = a.how;
        plan.endedAt = a.minutes ? end : "";
        plan.unitVerdict = a.verdict;
        plan.lot = n <= 6 ? "LOT-A" : "LOT-B";
        Add(plan);
    }
    const auto byModel = QueryYield(*db_, YieldGrouping::Model, {.since = "2026-12-05"});
    ASSERT_TRUE(byModel.Ok()) << byModel.Error();
    ASSERT_EQ(byModel->size(), 1u);
    const YieldRow& l1 = (*byModel)[0];
    EXPECT_EQ(l1.units, 8);         // U1..U6 and the two runs without a serial
    EXPECT_EQ(l1.judgedUnits, 6);   // not U5 (never judged), not U6 (only lost)
    EXPECT_EQ(l1.firstPass, 3);     // U2, U4 (its first judged run), the serial-less PASS
    EXPECT_EQ(l1.finalPass, 4);     // and U1
    EXPECT_EQ(l1.stillFailing, 2);  // U3, the serial-less FAIL
    EXPECT_EQ(l1.retests, 2);       // U1 once, U3 once (its stopped run is lost time)
    EXPECT_EQ(l1.lostRuns, 2);
    EXPECT_EQ(l1.lostMs, 15 * 60 * 1000 + 2 * 30 * 1000);
    EXPECT_EQ(l1.tests, 13);
    EXPECT_EQ(l1.completed, 13);

    const std::string table = YieldTable(*byModel, YieldGrouping::Model);
    EXPECT_NE(table.find("\nL1                              13       8        13         0       0"
                         "       0\n\nmodel                     judged first-pass   final retests"
                         " per unit failing   lost  lost time\nL1                             6"
                         "      50.0%   66.7%       2     0.33       2      2    0:16:00\n"),
              std::string::npos)
        << table;

    // A unit's attempts in two lots are two units, one in each.
    const auto byLot = QueryYield(*db_, YieldGrouping::Lot, {.since = "2026-12-05"});
    ASSERT_EQ(byLot->size(), 2u);
    EXPECT_EQ((*byLot)[0].group, "LOT-A");
    EXPECT_EQ((*byLot)[0].judgedUnits, 3);  // U1 (FAIL), U2, U3 (FAIL)
    EXPECT_EQ((*byLot)[0].firstPass, 1);
    EXPECT_EQ((*byLot)[1].judgedUnits, 4);  // U4, both serial-less, U3 (FAIL)
    EXPECT_EQ((*byLot)[1].retests, 0);
}

// Fixtures are named per station: Bay 1 of two hosts is two bays, and a
// station without fixtures is its host alone.
TEST_F(RecordsReadTest, YieldTellsTheSameBayOfTwoStationsApart) {
    const auto add = [this](const std::string& uuid, const std::string& host,
                            const std::string& fixture, const std::string& verdict) {
        RunPlan plan{uuid,     "2026-12-09T08:00:00.000Z", "X100", "D-200", uuid, {Completed},
                     {verdict}};
        plan.unitVerdict = verdict;
        plan.host = host;
        plan.fixture = fixture;
        Add(plan);
    };
    add("b1", "line1-pc", "Bay 1", "PASS");
    add("b2", "line1-pc", "Bay 1", "FAIL");
    add("b3", "line2-pc", "Bay 1", "PASS");
    add("b4", "line2-pc", "", "PASS");
    const auto groups = [this](YieldGrouping by) {
        std::vector<std::pair<std::string, std::int64_t>> seen;
        const auto yield = QueryYield(*db_, by, {.since = "2026-12-09"});
        EXPECT_TRUE(yield.Ok()) << yield.Error();
        for (const YieldRow& row : yield ? *yield : std::vector<YieldRow>{}) {
            seen.emplace_back(row.group, row.passed);
        }
        return seen;
    };
    using G = std::vector<std::pair<std::string, std::int64_t>>;
    EXPECT_EQ(groups(YieldGrouping::Fixture),
              (G{{"line1-pc / Bay 1", 1}, {"line2-pc", 1}, {"line2-pc / Bay 1", 1}}));
    EXPECT_EQ(groups(YieldGrouping::Station), (G{{"line1-pc", 1}, {"line2-pc", 2}}));
    const auto bay =
        QueryYield(*db_, YieldGrouping::Model, {.station = "line1-pc", .fixture = "Bay 1"});
    ASSERT_EQ(bay->size(), 1u);
    EXPECT_EQ((*bay)[0].tests, 2);
}

TEST(YieldTimes, MillisecondsBetweenRecordedTimes) {
    EXPECT_EQ(MillisecondsBetween("2026-12-31T23:59:59.500Z", "2027-01-01T00:00:01.250Z"), 1750);
    EXPECT_EQ(MillisecondsBetween("2024-02-28T12:00:00.000Z", "2024-03-01T12:00:00.000Z"),
              2 * 86400000);
    EXPECT_EQ(MillisecondsBetween("2026-12-05T09:00:00Z", "2026-12-05T09:00:01.500Z"), 1500);
    for (const char* bad :
         {"", "2026-02-30T00:00:00.000Z", "2026-12-05 09:00:00.000Z", "2026-12-05T09:0x:00.000Z",
          "2026-12-05", "2026-12-05T09:00:01.5", "2026-12-05T09:00:01.500Zx"}) {
        EXPECT_EQ(MillisecondsBetween(bad, "2026-12-05T09:00:00.000Z"), std::nullopt) << bad;
    }
}

TEST_F(RecordsReadTest, CommandsPrintWhatTheQueriesFind) {
    std::string out, err;
    EXPECT_EQ(Cli({"history", "--serial", "SN-1", "--db", path_}, out, err), 0) << err;
    EXPECT_EQ(out.find("r3"), out.find("2026-12-02T10") + 26);
    EXPECT_NE(out.find("r1"), std::string::npos);
    EXPECT_EQ(out.find("r2"), std::string::npos);

    EXPECT_EQ(Cli({"yield", "--by", "driver", "--since", "2026-12-02", "--db", path_}, out, err), 0)
        << err;
    EXPECT_NE(out.find("DrvCo D-300"), std::string::npos) << out;
    EXPECT_EQ(out.find("D-200"), std::string::npos) << out;

    EXPECT_EQ(Cli({"yield", "--by", "serial", "--db", path_}, out, err), 2);
    EXPECT_EQ(Cli({"history", "--since", "2026-02-30", "--db", path_}, out, err), 2);
    EXPECT_NE(err.find("YYYY-MM-DD"), std::string::npos) << err;
    EXPECT_EQ(Cli({"report", "--out", (folder_ / "r.html").string(), "--db", path_}, out, err), 2);
    EXPECT_EQ(
        Cli({"report", "--run", "nope", "--out", (folder_ / "r.html").string(), "--db", path_}, out,
            err),
        kExitRecordsUnreadable);
    EXPECT_NE(err.find("No run nope"), std::string::npos);
    EXPECT_EQ(Cli({"--plan", "x.csv"}, out, err), -1);  // not a records command
}

// Each line says how the run came out and which attempt on its unit it was.
TEST_F(RecordsReadTest, HistoryLinesShowTheVerdictAndTheAttempt) {
    RunPlan failed{"h1", "2026-12-06T08:00:00.000Z", "X100", "D-1", "SN-7", {Completed}, {}};
    failed.unitVerdict = "FAIL";
    RunPlan passed = failed;
    passed.uuid = "h2";
    passed.startedAt = "2026-12-06T08:01:00.000Z";
    passed.unitVerdict = "PASS";
    RunPlan going{"h3", "2026-12-06T08:02:00.000Z", "X100", "D-1", "SN-7", {Completed}, {}};
    going.how = std::nullopt;
    RunPlan stopped{"h4", "2026-12-06T08:03:00.000Z", "Z9", "D-1", "", {Stopped}, {}};
    stopped.how = Stopped;
    for (const RunPlan& plan : {failed, passed, going, stopped}) {
        Add(plan);
    }
    std::string out, err;
    ASSERT_EQ(Cli({"history", "--since", "2026-12-06", "--db", path_}, out, err), 0) << err;
    EXPECT_EQ(out,
              "2026-12-06T08:03:00.000Z  h4  Z9  -  0/1 tests  stopped  not judged  TestCfg.csv  "
              "bench-3/alice  -\n"
              "2026-12-06T08:02:00.000Z  h3  X100  SN-7 #3  1/1 tests  -  IN PROGRESS  "
              "TestCfg.csv  bench-3/alice  -\n"
              "2026-12-06T08:01:00.000Z  h2  X100  SN-7 #2  1/1 tests  completed  PASS  "
              "TestCfg.csv  bench-3/alice  -\n"
              "2026-12-06T08:00:00.000Z  h1  X100  SN-7 #1  1/1 tests  completed  FAIL  "
              "TestCfg.csv  bench-3/alice  -\n");
}

// --last is the run that ended last: never one still going, even one started
// after it; while every run still goes on there is no report to write.
TEST_F(RecordsReadTest, TheLastRunIsTheOneThatEndedLast) {
    EXPECT_EQ(LastRunUuid(*db_).Value(), "r4");
    RunPlan going{"g1", "2026-12-09T08:00:00.000Z", "X100", "D-1", "SN-3", {Completed}, {}};
    going.how = std::nullopt;
    Add(going);
    EXPECT_EQ(LastRunUuid(*db_).Value(), "r4");
    RunPlan longRun{"l1", "2026-12-01T08:00:00.000Z", "X100", "D-1", "SN-4", {Completed}, {}};
    longRun.endedAt = "2026-12-10T08:00:00.000Z";
    Add(longRun);
    EXPECT_EQ(LastRunUuid(*db_).Value(), "l1");
    std::string out, err;
    const auto page = folder_ / "last.html";
    ASSERT_EQ(Cli({"report", "--last", "--out", page.string(), "--db", path_}, out, err), 0) << err;
    EXPECT_NE(ReadBytes(page).find("<th>Run</th><td>l1</td>"), std::string::npos);

    path_ = (folder_ / "going.sqlite").string();
    OpenDatabase();
    Add(going);
    EXPECT_EQ(Cli({"report", "--last", "--out", page.string(), "--db", path_}, out, err),
              kExitRecordsUnreadable);
    EXPECT_EQ(err, "No recorded run has ended yet.\n");
}

// rejudge as a script runs it: the summary, each disagreement on a line of its
// own, then the seals' summary, and its own exit status when any: a record
// changed since it was sealed breaks its seal, which outranks the disagreement
// it also makes; one the station sealed as it (wrongly) judged it only
// disagrees.
TEST_F(RecordsReadTest, RejudgeSaysEachDisagreementAndEndsWithItsOwnStatus) {
    {
        RunRecorder recorder({path_,
                              folder_ / "spool.sqlite",
                              std::chrono::milliseconds(0),
                              {},
                              TestStationKey(folder_)});
        ASSERT_EQ(RecordJudgedShift(recorder, 12).runs, 12);
    }
    const std::string key = TestPublicKey(folder_);
    const auto sealsOf = [](int runs, int broken) {
        return "Seals of " + std::to_string(runs) + " runs: " + std::to_string(runs - broken) +
               " sealed and unchanged, 0 recorded before runs were sealed, 0 not ended, " +
               std::to_string(broken) + (broken == 1 ? " broken seal.\n" : " broken seals.\n");
    };
    std::string out, err;
    EXPECT_EQ(Cli({"rejudge", "--db", path_, "--key", key}, out, err), 0) << err;
    EXPECT_EQ(out,
              "Rejudged 16 runs: 12 judged, 4 not judged, 0 that can't be judged again, 0 "
              "disagreements.\n" +
                  sealsOf(16, 0));
    EXPECT_EQ(Cli({"rejudge", "--since", "2026-12-02", "--db", path_, "--key", key}, out, err), 0)
        << err;
    EXPECT_EQ(out.substr(0, out.find(':')), "Rejudged 2 runs");  // r3, r4

    const auto failed =
        db_->Run("SELECT run_uuid FROM runs WHERE verdict = 'FAIL' ORDER BY started_at LIMIT 1");
    ASSERT_TRUE(failed.Ok() && failed->size() == 1u);
    const std::string uuid = CellText(failed->front()[0]);
    const auto rows = SpooledRows(*db_, uuid);
    ASSERT_TRUE(rows.Ok()) << rows.Error();
    ASSERT_TRUE(db_->Run("UPDATE measurements SET outcome = 'PASS' WHERE name = 'V4' AND "
                         "test_index = 0 AND run_id ="
                         " (SELECT run_id FROM run_keys WHERE run_uuid = $1)",
                         {uuid})
                    .Ok());
    EXPECT_EQ(Cli({"rejudge", "--db", path_, "--key", key}, out, err), kExitSealBroken);
    EXPECT_EQ(out, "run " + uuid +
                       ": test 1: V4: outcome stored PASS, judged FAIL\n"
                       "Rejudged 16 runs: 12 judged, 4 not judged, 0 that can't be judged again, "
                       "1 disagreement.\nrun " +
                       uuid + ": changed since it was sealed: its measurements\n" + sealsOf(16, 1));
    EXPECT_EQ(Cli({"rejudge", "--run", uuid, "--db", path_, "--key", key}, out, err),
              kExitSealBroken);
    EXPECT_NE(out.find("Rejudged 1 run: 1 judged"), std::string::npos) << out;
    EXPECT_NE(out.find("Seals of 1 run: 0 sealed"), std::string::npos) << out;

    // The same run as the station might have written it, its own judgement
    // wrong, and sealed so: its seal holds, and it disagrees.
    std::vector<RowWrite> copied = *rows;
    for (RowWrite& row : copied) {
        row.values[0] = std::string("misjudged");
        const auto* name = std::get_if<std::string>(&row.values[2]);
        const auto* test = std::get_if<std::string>(&row.values[1]);
        if (row.table == &MeasurementsTable() && name && *name == "V4" && test && *test == "0") {
            row.values[8] = std::string("PASS");
        }
    }
    ASSERT_TRUE(WriteRows(*db_, copied, &sealer_).Ok());
    EXPECT_EQ(Cli({"rejudge", "--run", "misjudged", "--db", path_, "--key", key}, out, err),
              kExitRecordsDisagree);
    EXPECT_EQ(out,
              "run misjudged: test 1: V4: outcome stored PASS, judged FAIL\n"
              "Rejudged 1 run: 1 judged, 0 not judged, 0 that can't be judged again, 1 "
              "disagreement.\nSeals of 1 run: 1 sealed and unchanged, 0 recorded before runs "
              "were sealed, 0 not ended, 0 broken seals.\n");

    EXPECT_EQ(Cli({"rejudge", "--run", "nope", "--db", path_, "--key", key}, out, err),
              kExitRecordsUnreadable);
    EXPECT_EQ(err, "No run nope is recorded.\n");
    EXPECT_EQ(Cli({"rejudge", "--run", uuid, "--since", "2026-12-01", "--db", path_}, out, err),
              kExitUsage);
    EXPECT_EQ(Cli({"rejudge", "--db", path_, "--key", (folder_ / "nokey.pub").string()}, out, err),
              kExitUsage);
    EXPECT_EQ(err, "The key " + (folder_ / "nokey.pub").string() + " is missing.\n");
    const auto typo = (folder_ / "typo" / "x.sqlite").string();
    EXPECT_EQ(Cli({"rejudge", "--db", typo, "--key", key}, out, err), 0);
    EXPECT_EQ(err, "No run has been recorded yet.\n");
    EXPECT_EQ(Cli({"rejudge", "--run", uuid, "--db", typo, "--key", key}, out, err),
              kExitRecordsUnreadable);
    EXPECT_EQ(Cli({"rejudge", "--help"}, out, err), 0);
    EXPECT_NE(out.find("  8  rejudge: "), std::string::npos) << out;
    EXPECT_NE(out.find("  10  verify, rejudge: "), std::string::npos) << out;
}

// The same shift in SQLite and on a PostgreSQL server: the same yield, and
// every run judged again agrees.
TEST(JudgedShift, YieldAndRejudgeAreTheSameOnAServer) {
    if (PostgresTestsMaySkip()) {
        GTEST_SKIP() << "Debian's postgresql is not installed";
    }
    PgCluster cluster;
    ASSERT_TRUE(cluster.Ready()) << cluster.Problem();
    TempFolder folder;
    const std::string file = (folder / "shift.sqlite").string();
    std::vector<std::vector<YieldRow>> yields;
    for (const std::string& target : {file, cluster.Url()}) {
        {
            RunRecorder recorder(
                {target, folder / "spool.sqlite", std::chrono::milliseconds(0), {}});
            ASSERT_EQ(RecordJudgedShift(recorder, 60).runs, 60);
        }
        auto db = OpenSqlConnectionToRead(target);
        ASSERT_TRUE(db.Ok() && *db) << target;
        const auto yield = QueryYield(**db, YieldGrouping::Day, {});
        ASSERT_TRUE(yield.Ok()) << yield.Error();
        yields.push_back(*yield);
        const auto tally =
            RejudgeRuns(**db, {}, [](const std::string& line) { ADD_FAILURE() << line; });
        ASSERT_TRUE(tally.Ok()) << tally.Error();
        EXPECT_EQ(tally->judged, 60) << target;
        EXPECT_TRUE(tally->Agreed()) << target;
    }
    ASSERT_EQ(yields[0].size(), 1u);
    const YieldRow& day = yields[0][0];
    EXPECT_EQ(day.group, "2026-12-01");
    EXPECT_EQ(day.lostRuns, 2);  // units 7 and 47
    EXPECT_EQ(day.retests, 10);  // units 0, 5, ..., 45
    EXPECT_EQ(day.judgedUnits, 48);
    EXPECT_EQ(day.firstPass, 38);
    EXPECT_EQ(day.finalPass, 48);
    EXPECT_EQ(YieldTable(yields[1], YieldGrouping::Day), YieldTable(yields[0], YieldGrouping::Day));
}

// --limit N keeps the newest N of what the filters let through, as the lines
// of the whole history begin; anything but a whole number from 1 is refused,
// naming the value, before the database is read.
TEST_F(RecordsReadTest, HistoryLimitKeepsTheNewestRuns) {
    std::string all, out, err;
    ASSERT_EQ(Cli({"history", "--db", path_}, all, err), 0) << err;
    ASSERT_EQ(std::count(all.begin(), all.end(), '\n'), 4) << all;
    for (std::size_t limit = 1; limit <= 5; ++limit) {
        ASSERT_EQ(Cli({"history", "--limit", std::to_string(limit), "--db", path_}, out, err), 0)
            << err;
        std::size_t end = 0;
        for (std::size_t line = 0; line < limit && end < all.size(); ++line) {
            end = all.find('\n', end) + 1;
        }
        EXPECT_EQ(out, all.substr(0, end)) << limit;
    }
    ASSERT_EQ(Cli({"history", "--serial", "SN-1", "--limit", "1", "--db", path_}, out, err), 0);
    EXPECT_EQ(out.find("r1"), std::string::npos) << out;
    EXPECT_NE(out.find("  r3  "), std::string::npos) << out;

    for (const std::string bad : {"0", "-1", "abc", "1.5", "", " 2", "99999999999999999999"}) {
        EXPECT_EQ(Cli({"history", "--limit", bad, "--db", path_}, out, err), 2) << bad;
        EXPECT_NE(err.find("--limit: expected a whole number of runs from 1, got \"" + bad + "\""),
                  std::string::npos)
            << err;
        EXPECT_EQ(out, "");
    }
}

TEST_F(RecordsReadTest, AnUnreadableDatabaseIsAMessageAndItsOwnStatus) {
    const auto bad = folder_ / "bad.sqlite";
    WriteBytes(bad, std::string(4096, '#'));
    std::string out, err;
    EXPECT_EQ(Cli({"history", "--db", bad.string()}, out, err), kExitRecordsUnreadable);
    EXPECT_NE(err.find("file is not a database"), std::string::npos) << err;
}

// A database from before runs kept their tally gets it when it is opened.
TEST_F(RecordsReadTest, MigratingAnOlderDatabaseTalliesItsRuns) {
    const std::string older = (folder_ / "older.sqlite").string();
    {
        auto old = OpenAtVersion(older, 2);
        ASSERT_TRUE(old.Ok()) << old.Error();
        for (const char* uuid : {"r1", "r2", "r3", "r4"}) {
            const auto run = LoadRun(*db_, uuid);
            ASSERT_TRUE(run.Ok() && *run) << uuid;
            ASSERT_TRUE(WriteOldForm(**old, **run).Ok()) << uuid;
        }
    }
    path_ = older;
    db_.reset();
    OpenDatabase();
    ASSERT_TRUE(db_);
    const auto byModel = QueryYield(*db_, YieldGrouping::Model, {});
    ASSERT_EQ(byModel->size(), 2u);
    EXPECT_EQ((*byModel)[0].tests, 5);
    EXPECT_EQ((*byModel)[0].completed, 4);
    EXPECT_EQ((*byModel)[0].passed, 2);
    EXPECT_EQ((*byModel)[0].failed, 1);
}

// The recorder keeps the tally as tests begin and end, also for a run cut off
// in the middle of a test.
TEST_F(RecordsReadTest, TheRecorderTalliesItsRunsAsTheyGo) {
    {
        RunRecorder recorder({path_, folder_ / "spool.sqlite", std::chrono::milliseconds(0), {}});
        recorder.BeginRun(SampleRun("Q7", "SN-9"));
        recorder.BeginTest(SampleTest(0));
        recorder.EndTest({RecordEnd::Completed, "", {}, Verdict{VerdictKind::Fail, "V1 low"}, ""});
        recorder.BeginTest(SampleTest(1));
        recorder.EndTest({RecordEnd::Completed, "", {}, Verdict{VerdictKind::Pass, ""}, ""});
        recorder.BeginTest(SampleTest(2));
        recorder.Flush();  // as a killed station leaves it: the third test never ends
    }
    const auto byModel = QueryYield(*db_, YieldGrouping::Model, {});
    ASSERT_EQ(byModel->size(), 3u);
    const YieldRow& q7 = (*byModel)[0];
    EXPECT_EQ(q7.group, "Q7");
    EXPECT_EQ(q7.tests, 3);
    EXPECT_EQ(q7.completed, 2);
    EXPECT_EQ(q7.abandoned, 1);
    EXPECT_EQ(q7.passed, 1);
    EXPECT_EQ(q7.failed, 1);
}

// Tests that end faster than the writer stores them: the tallies still
// waiting are replaced by the newest, which must count every test.
TEST_F(RecordsReadTest, ATallyOfTestsEndingFasterThanTheWriterCountsEveryOne) {
    constexpr int kTests = 400;
    {
        RunRecorder recorder({path_, folder_ / "spool.sqlite", std::chrono::milliseconds(0), {}});
        recorder.BeginRun(SampleRun("Q8", "SN-8"));
        for (int index = 0; index < kTests; ++index) {
            recorder.BeginTest(SampleTest(index));
            recorder.RecordSwitch(static_cast<std::uint32_t>(index), 4, true);
            const bool pass = index % 3 != 0;
            recorder.EndTest({RecordEnd::Completed,
                              "",
                              {},
                              Verdict{pass ? VerdictKind::Pass : VerdictKind::Fail, ""},
                              ""});
        }
        recorder.BeginTest(SampleTest(kTests));
        recorder.Flush();
    }
    const auto byModel = QueryYield(*db_, YieldGrouping::Model, {});
    ASSERT_TRUE(byModel);
    const auto q8 = std::find_if(byModel->begin(), byModel->end(),
                                 [](const YieldRow& row) { return row.group == "Q8"; });
    ASSERT_NE(q8, byModel->end());
    EXPECT_EQ(q8->tests, kTests + 1);
    EXPECT_EQ(q8->completed, kTests);
    EXPECT_EQ(q8->abandoned, 1);
    EXPECT_EQ(q8->failed, (kTests + 2) / 3);
    EXPECT_EQ(q8->passed, kTests - (kTests + 2) / 3);
}

// A serial with a newline would forge a second run in history; an escape
// sequence in a driver model would drive the terminal.
TEST_F(RecordsReadTest, RecordedTextsReachTheTerminalEscapedAndCut) {
    Add({"r5",
         "2026-12-03T08:00:00.000Z",
         std::string(300, 'M'),
         "\x1b[2J\x1b[31mD-9",
         "SN-5\n2026-12-03T09:00:00.000Z  forged",
         {Completed},
         {}});
    std::string out, err;
    ASSERT_EQ(Cli({"history", "--db", path_}, out, err), 0) << err;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 5) << out;
    EXPECT_NE(out.find("SN-5\\n2026-12-03T09"), std::string::npos) << out;
    EXPECT_NE(out.find(std::string(kShownTextMax, 'M') + "... (300 bytes)"), std::string::npos);

    ASSERT_EQ(Cli({"yield", "--by", "driver", "--db", path_}, out, err), 0) << err;
    EXPECT_EQ(out.find('\x1b'), std::string::npos) << out;
    EXPECT_NE(out.find("DrvCo \\x1b[2J\\x1b[31mD-9"), std::string::npos) << out;
}

// Looking back never creates anything: not the folders of a mistyped path,
// not a database, not a table.
TEST_F(RecordsReadTest, NothingRecordedIsSaidAndNothingIsCreated) {
    std::string out, err;
    const auto typo = folder_ / "typo" / "deep" / "x.sqlite";
    for (const char* command : {"history", "yield"}) {
        EXPECT_EQ(Cli({command, "--db", typo.string()}, out, err), 0) << command;
        EXPECT_EQ(err, "No run has been recorded yet.\n");
        EXPECT_EQ(out, "");
    }
    const auto page = folder_ / "r.html";
    EXPECT_EQ(Cli({"report", "--last", "--out", page.string(), "--db", typo.string()}, out, err),
              kExitRecordsUnreadable);
    EXPECT_EQ(err, "No run has been recorded yet.\n");
    EXPECT_FALSE(fs::exists(folder_ / "typo"));
    EXPECT_FALSE(fs::exists(page));

    const auto empty = folder_ / "empty.sqlite";
    WriteBytes(empty, "");
    EXPECT_EQ(Cli({"report", "--last", "--out", page.string(), "--db", empty.string()}, out, err),
              kExitRecordsUnreadable);
    EXPECT_EQ(err, "No run has been recorded yet.\n");
    EXPECT_EQ(fs::file_size(empty), 0u);
}

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

TEST_F(RecordsReadTest, AMistypedServerUrlIsAUsageErrorAndRecordsNowhere) {
    const fs::path before = fs::current_path();
    fs::current_path(folder_.Path());
    const std::set<std::string> names = Names(folder_.Path());
    std::string out, err;
    for (const char* typo :
         {"PostgreSQL://op@db/orvalt", "postgresql:/db/orvalt", "postgres//db/orvalt"}) {
        EXPECT_EQ(Cli({"history", "--db", typo}, out, err), 2) << typo;
        EXPECT_NE(err.find("not a valid postgresql:// URL"), std::string::npos) << err;
    }
    const std::set<std::string> after = Names(folder_.Path());
    fs::current_path(before);
    EXPECT_EQ(after, names);
}

// The station's own file, shared read-only: a folder nobody but its owner may
// write, a database in write-ahead-log mode.
TEST_F(RecordsReadTest, AReadOnlyDatabaseInAReadOnlyFolderCanBeRead) {
    db_.reset();
    ASSERT_FALSE(fs::exists(path_ + "-wal"));
    fs::permissions(path_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(folder_.Path(), fs::perms::owner_all | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
    const std::string outcome = RunInChild([&] {
        DropRoot();
        std::string out, err;
        const int status = Cli({"history", "--db", path_}, out, err);
        return std::to_string(status) + "|" +
               std::to_string(std::count(out.begin(), out.end(), '\n')) + "|" + err;
    });
    fs::permissions(folder_.Path(), fs::perms::all);
    EXPECT_EQ(outcome, "0|4|");
}

TEST(IsoDateTest, AcceptsRealCalendarDatesOnly) {
    for (const char* good : {"2026-12-07", "2024-02-29", "2000-02-29", "1999-01-31"}) {
        EXPECT_TRUE(IsIsoDate(good)) << good;
    }
    for (const char* bad : {"2026-13-01", "2026-00-10", "2023-02-29", "1900-02-29", "2026-04-31",
                            "2026-1-01", "26-12-07", "2026-12-07x", "2026/12/07", "", " 201-01-01",
                            "2026-+1-01", "-001-01-01", "2026-01- 1"}) {
        EXPECT_FALSE(IsIsoDate(bad)) << bad;
    }
}

}  // namespace
}  // namespace orvalt::test
