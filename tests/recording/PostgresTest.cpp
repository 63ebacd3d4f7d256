// The recorder against a real PostgreSQL server that goes away in the middle
// of a run and comes back: the station is told once each way, and every record
// arrives exactly once.

#include <gtest/gtest.h>

#include <random>

#include "reading/History.h"
#include "reading/RunLoad.h"
#include "recording/HealthLog.h"
#include "records/Schema.h"
#include "support/PgCluster.h"
#include "support/RecordsKit.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

class PostgresTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (PostgresTestsMaySkip()) {
            GTEST_SKIP() << "Debian's postgresql is not installed";
        }
        ASSERT_TRUE(cluster_.Ready()) << cluster_.Problem();
    }

    RecordStoreOptions Options() {
        return {cluster_.Url(), spoolFolder_ / "spool.sqlite", std::chrono::milliseconds(0),
                health_.Sink()};
    }

    PgCluster cluster_;
    TempFolder spoolFolder_;
    HealthLog health_;
};

TEST_F(PostgresTest, AServerStoppedMidRunGetsEveryRecordOnceWhenItIsBack) {
    RecordedCounts counts;
    std::string uuid;
    {
        RunRecorder recorder(Options(), {std::chrono::milliseconds(20)});
        uuid = recorder.BeginRun(SampleRun());
        RecordCompletedTest(recorder, 0, 50, counts);
        recorder.BeginTest(SampleTest(1));
        RecordTrace(recorder, 30, counts);
        recorder.Flush();
        ASSERT_TRUE(cluster_.Stop());
        RecordTrace(recorder, 30, counts, 5000);
        recorder.EndTest({});
        ++counts.tests;
        RecordCompletedTest(recorder, 2, 50, counts);
        recorder.Flush();
        EXPECT_GT(CountRows((spoolFolder_ / "spool.sqlite").string(), "readings", uuid), 0);
        ASSERT_TRUE(cluster_.Start());
        RecordCompletedTest(recorder, 3, 50, counts);
        recorder.EndRun({});
    }
    const auto reports = health_.Reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_FALSE(reports[0].first);
    EXPECT_NE(reports[0].second.find("Results server"), std::string::npos) << reports[0].second;
    EXPECT_TRUE(reports[1].first);
    const std::string url = cluster_.Url();
    EXPECT_EQ(CountRows(url, "readings", uuid), counts.readings);
    EXPECT_EQ(CountRows(url, "switches", uuid), counts.switches);
    EXPECT_EQ(CountRows(url, "diag_lines", uuid), counts.diagLines);
    EXPECT_EQ(CountRows(url, "tests", uuid), counts.tests);
    EXPECT_EQ(cluster_.Query("SELECT ended_how FROM runs"), "completed\n");
    EXPECT_EQ(CountRows((spoolFolder_ / "spool.sqlite").string(), "readings", uuid), 0);
}

// The spooled run is numbered among the server's runs of its unit (the
// spool, which held it alone, would call it a first attempt).
TEST_F(PostgresTest, AServerDownAtStartTakesTheWholeRunWhenItComesUp) {
    std::vector<std::string> runs;
    {
        RunRecorder recorder(Options(), {std::chrono::milliseconds(20)});
        runs.push_back(recorder.BeginRun(SampleRun()));
        recorder.EndRun({});
    }
    ASSERT_TRUE(cluster_.Stop());
    RecordedCounts counts;
    std::string uuid;
    {
        RunRecorder recorder(Options(), {std::chrono::milliseconds(20)});
        uuid = recorder.BeginRun(SampleRun());
        RecordCompletedTest(recorder, 0, 40, counts);
        recorder.EndRun({});
    }
    EXPECT_EQ(health_.Reports().size(), 1u);
    ASSERT_TRUE(cluster_.Start());
    {
        // The next station start forwards what the spool holds.
        RunRecorder recorder(Options(), {std::chrono::milliseconds(20)});
        runs.push_back(uuid);
        runs.push_back(recorder.BeginRun(SampleRun()));
        recorder.EndRun({});
    }
    EXPECT_EQ(CountRows(cluster_.Url(), "readings", uuid), counts.readings);
    EXPECT_EQ(CountRows(cluster_.Url(), "runs", uuid), 1);
    EXPECT_EQ(cluster_.Query("SELECT attempt FROM runs ORDER BY started_at"), "1\n2\n3\n");
    EXPECT_EQ(cluster_.Query("SELECT run_uuid FROM runs ORDER BY attempt"),
              runs[0] + "\n" + runs[1] + "\n" + runs[2] + "\n");
}

TEST_F(PostgresTest, ARefusedLoginIsOneClearMessage) {
    RecordStoreOptions options = Options();
    options.target = cluster_.Url("intruder");
    RecordedCounts counts;
    std::string uuid;
    {
        RunRecorder recorder(options, {std::chrono::milliseconds(20)});
        uuid = recorder.BeginRun(SampleRun());
        RecordCompletedTest(recorder, 0, 20, counts);
        recorder.EndRun({});
    }
    const auto reports = health_.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].second.find("role \"intruder\" does not exist"), std::string::npos)
        << reports[0].second;
    EXPECT_EQ(CountRows((spoolFolder_ / "spool.sqlite").string(), "readings", uuid),
              counts.readings);
}

TEST_F(PostgresTest, TheServerGetsTheSameSchemaAndAnswersTheSameQueries) {
    RecordedCounts counts;
    {
        RunRecorder recorder(Options());
        recorder.BeginRun(SampleRun("X100", "SN-7"));
        RecordCompletedTest(recorder, 0, 10, counts);
        recorder.EndRun({});
    }
    EXPECT_EQ(cluster_.Query("SELECT version FROM orvalt_schema"),
              std::to_string(CurrentSchemaVersion()) + "\n");
    auto db = OpenSqlConnection(cluster_.Url());
    ASSERT_TRUE(db.Ok()) << db.Error();
    RunFilter filter;
    filter.serial = "SN-7";
    const auto history = QueryHistory(**db, filter);
    ASSERT_TRUE(history.Ok()) << history.Error();
    ASSERT_EQ(history->size(), 1u);
    EXPECT_EQ((*history)[0].completedTests, 1);
    ASSERT_TRUE((*db)->Run("UPDATE orvalt_schema SET version = 42").Ok());
    EXPECT_FALSE(OpenRecordDatabase(cluster_.Url()).Ok());
}

// Rows reach the taker as the database yields them: those before a failure
// are taken and the failure is said after them; the connection then serves
// the same statement and the next one.
TEST_F(PostgresTest, RowByRowHandsTheRowsBeforeAFailureAndStaysUsable) {
    // The third row's value is beyond a 64-bit integer, in both databases.
    constexpr const char* kFailsAtThree =
        "WITH RECURSIVE n(g) AS (SELECT 1 UNION ALL SELECT g + 1 FROM n WHERE g < $1)"
        " SELECT g, abs(CAST(-9223372036854775805 AS BIGINT) - g) FROM n";
    TempFolder sqliteFolder;
    for (const std::string& target : {cluster_.Url(), (sqliteFolder / "r.sqlite").string()}) {
        auto db = OpenSqlConnection(target);
        ASSERT_TRUE(db.Ok()) << db.Error();
        for (int attempt = 0; attempt < 2; ++attempt) {
            std::vector<std::string> taken;
            const Result<void> ran =
                (*db)->RunRowByRow(kFailsAtThree, {std::int64_t{5}}, [&taken](SqlRow row) {
                    taken.push_back(CellText(row.at(0)) + "," + CellText(row.at(1)));
                });
            EXPECT_EQ(taken,
                      (std::vector<std::string>{"1,9223372036854775806", "2,9223372036854775807"}))
                << target;
            ASSERT_FALSE(ran.Ok()) << target;
            EXPECT_NE(ran.Error().find(target == cluster_.Url() ? "bigint out of range"
                                                                : "integer overflow"),
                      std::string::npos)
                << ran.Error();
        }
        const auto next = (*db)->Run("SELECT 7");
        ASSERT_TRUE(next.Ok()) << next.Error();
        EXPECT_EQ(CellText(next->at(0).at(0)), "7");
    }
}

// A Latin-1 degree sign in the plan's title, 0xFF in a serial, line noise on
// the diagnostic port, every byte there is: the server takes them, stored as
// the SQLite file stores them, and the readers give back the very bytes.
TEST_F(PostgresTest, TextThatIsNotUtf8IsStoredAndReadBackExactly) {
    std::string noise;
    for (int byte = 0; byte < 256; ++byte) {
        noise += static_cast<char>(byte);
    }
    RunStart start = SampleRun(
        "X\xB0"
        "1",
        "SN-\xFF");
    start.planName =
        "Plan 25\xB0"
        "C.csv";
    start.planText = "Lamp \xB0\r\n\\x41\r\n";
    start.settings.push_back({"Manufacturer", "Gr\xFCn"});
    TempFolder sqliteFolder;
    const std::string sqlite = (sqliteFolder / "r.sqlite").string();
    std::string uuid;
    for (const std::string& target : {cluster_.Url(), sqlite}) {
        RecordStoreOptions options = Options();
        options.target = target;
        RunRecorder recorder(options, {std::chrono::milliseconds(20)});
        start.uuid = uuid;
        uuid = recorder.BeginRun(start);
        recorder.BeginTest(SampleTest(0));
        recorder.RecordSwitch(1000, 4, true);
        recorder.RecordDiagLine(1010, noise, {1, 2, 3});
        recorder.RecordReading(1020, 1.5, "reading \xB0");
        recorder.EndTest({RecordEnd::Completed, "12-06-26, 1, 0, \xB0", {}, std::nullopt, {}});
        recorder.EndRun({});
    }
    EXPECT_TRUE(health_.Reports().empty()) << health_.Reports()[0].second;

    for (const std::string& target : {cluster_.Url(), sqlite}) {
        auto db = OpenSqlConnection(target);
        ASSERT_TRUE(db.Ok()) << db.Error();
        const auto loaded = LoadRun(**db, uuid);
        ASSERT_TRUE(loaded.Ok() && *loaded) << target;
        const LoadedRun& run = **loaded;
        EXPECT_EQ(run.start.planName, start.planName);
        EXPECT_EQ(run.start.planText, start.planText);
        EXPECT_EQ(run.start.unit.model, start.unit.model);
        EXPECT_EQ(RunSetting(run, "Manufacturer"), "Gr\xFCn");
        ASSERT_EQ(run.tests.size(), 1u);
        ASSERT_EQ(run.tests[0].diagLines.size(), 1u);
        EXPECT_EQ(run.tests[0].diagLines[0].raw, noise);
        EXPECT_EQ(run.tests[0].readings.at(0).status, "reading \xB0");
        EXPECT_EQ(run.tests[0].summaryLine, "12-06-26, 1, 0, \xB0");
        RunFilter filter;
        filter.serial = "SN-\xFF";
        const auto history = QueryHistory(**db, filter);
        ASSERT_TRUE(history.Ok()) << history.Error();
        ASSERT_EQ(history->size(), 1u);
        EXPECT_EQ((*history)[0].serial, "SN-\xFF");
        // Both hold the same escaped form, which a reader of its own can see.
        const auto kept = (*db)->Run("SELECT replace(serial, '\\', '/') FROM runs");
        ASSERT_TRUE(kept.Ok()) << kept.Error();
        EXPECT_EQ(CellText(kept->at(0).at(0)), "SN-/xFF");
    }
}

// A run the server refuses for good (a model too long for its index) is set
// aside in the spool, said once with why, and the runs on either side of it
// are stored, whether they come live or from the spool.
TEST_F(PostgresTest, ARunTheServerRefusesIsSetAsideAndTheOthersGoOn) {
    std::mt19937 random(7);
    std::string hugeModel(12000, ' ');
    for (char& c : hugeModel) {
        c = static_cast<char>('a' + random() % 26);
    }
    const auto recordThree = [&](std::vector<std::string>& uuids) {
        RunRecorder recorder(Options(), {std::chrono::milliseconds(20)});
        for (const std::string& model : {std::string("A1"), hugeModel, std::string("C3")}) {
            RecordedCounts counts;
            uuids.push_back(recorder.BeginRun(SampleRun(model, "SN-" + model.substr(0, 2))));
            RecordCompletedTest(recorder, 0, 20, counts);
            recorder.EndRun({});
        }
    };
    std::vector<std::string> live, spooled;
    recordThree(live);
    ASSERT_TRUE(cluster_.Stop());
    recordThree(spooled);
    ASSERT_TRUE(cluster_.Start());
    RecordStore(Options()).Write({});  // the next start forwards the spool

    for (const auto& uuids : {live, spooled}) {
        EXPECT_EQ(CountRows(cluster_.Url(), "readings", uuids[0]), 20);
        EXPECT_EQ(CountRows(cluster_.Url(), "runs", uuids[1]), 0);
        EXPECT_EQ(CountRows(cluster_.Url(), "readings", uuids[2]), 20);
        // Kept whole in the spool, and said with why.
        const std::string spool = (spoolFolder_ / "spool.sqlite").string();
        EXPECT_EQ(CountRows(spool, "readings", uuids[1]), 20);
        EXPECT_EQ(CountRows(spool, "readings", uuids[2]), 0);
        std::size_t told = 0;
        for (const auto& [up, message] : health_.Reports()) {
            told += message.find("run " + uuids[1] + " is set aside") != std::string::npos &&
                    message.find("index row") != std::string::npos;
        }
        EXPECT_EQ(told, 1u) << uuids[1];
    }
}

}  // namespace
}  // namespace orvalt::test
