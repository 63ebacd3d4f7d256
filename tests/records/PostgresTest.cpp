// The recorder against a real PostgreSQL server that goes away in the middle
// of a run and comes back: the station is told once each way, and every record
// arrives exactly once.

#include <gtest/gtest.h>

#include "records/HealthLog.h"
#include "records/History.h"
#include "records/RecordsKit.h"
#include "records/Schema.h"
#include "support/PgCluster.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

class PostgresTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (PostgresTestsMaySkip())
            GTEST_SKIP() << "Debian's postgresql is not installed";
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

TEST_F(PostgresTest, AServerDownAtStartTakesTheWholeRunWhenItComesUp) {
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
        recorder.BeginRun(SampleRun());
        recorder.EndRun({});
    }
    EXPECT_EQ(CountRows(cluster_.Url(), "readings", uuid), counts.readings);
    EXPECT_EQ(CountRows(cluster_.Url(), "runs", uuid), 1);
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
    HistoryFilter filter;
    filter.serial = "SN-7";
    const auto history = QueryHistory(**db, filter);
    ASSERT_TRUE(history.Ok()) << history.Error();
    ASSERT_EQ(history->size(), 1u);
    EXPECT_EQ((*history)[0].completedTests, 1);
    ASSERT_TRUE((*db)->Run("UPDATE orvalt_schema SET version = 42").Ok());
    EXPECT_FALSE(OpenRecordDatabase(cluster_.Url()).Ok());
}

}  // namespace
}  // namespace orvalt::test
