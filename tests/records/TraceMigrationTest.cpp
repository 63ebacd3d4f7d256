// A database an older station left, a row a reading and the run's UUID in
// every row, migrated in place: the same run read back, the same report, on
// SQLite and on a server, however many stations open it at once; and a
// damaged block read back as an error naming its run.

#include <gtest/gtest.h>

#include <limits>
#include <thread>

#include "output/ReportFile.h"
#include "output/RunReport.h"
#include "recording/SpoolOnStart.h"
#include "records/RecordsToRead.h"
#include "records/Schema.h"
#include "support/OldSchemaKit.h"
#include "support/PgCluster.h"
#include "support/RecordsKit.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

// The layout before runs had a small key and readings went into blocks.
constexpr int kRowPerReadingVersion = 3;

// Two tests with readings at odd values and times, switches, diagnostic lines
// in and between tests.
std::string RecordSampleRun(const std::string& target, const TempFolder& folder) {
    RunRecorder recorder({target, folder / "spool.sqlite", std::chrono::milliseconds(50), {}},
                         {std::chrono::milliseconds(5)});
    const std::string uuid = recorder.BeginRun(SampleRun());
    // -0.0 is left out: a row of the older layout in SQLite kept it as 0.
    const double odd[] = {-1e-300, 1e300, -std::numeric_limits<double>::infinity(), 4.9e-324,
                          0.1 + 0.2};
    recorder.RecordDiagLine(5, "between", {1, 2, 3});
    for (int t = 0; t < 2; ++t) {
        recorder.BeginTest(SampleTest(t));
        recorder.RecordSwitch(0, 4, true);
        for (int i = 0; i < 300; ++i) {
            const double volts = i % 7 == 0 ? odd[i / 7 % 5] : (i % 65) * 0.0003158 - t;
            recorder.RecordReading(static_cast<std::uint32_t>(i * 10 + (i == 150) * 4000000000u),
                                   volts, "Reading voltage = " + std::to_string(i) + " \xB0");
            if (i % 50 == 0) {
                recorder.RecordDiagLine(static_cast<std::uint32_t>(i * 10), "1F4 3 2", {500, 3, i});
            }
        }
        recorder.RecordSwitch(3000, 4, false);
        recorder.EndTest({RecordEnd::Completed,
                          "summary",
                          {{"TimeToOn", 1.25}},
                          Verdict{VerdictKind::Pass, ""},
                          {}});
    }
    recorder.EndRun({});
    return uuid;
}

LoadedRun Loaded(const std::string& target, const std::string& uuid) {
    auto db = OpenSqlConnection(target);
    EXPECT_TRUE(db.Ok()) << db.Error();
    auto run = LoadRun(**db, uuid);
    EXPECT_TRUE(run.Ok() && run->has_value()) << (run.Ok() ? "no run" : run.Error());
    return run.Ok() && *run ? **run : LoadedRun{};
}

void ExpectSameReadings(const LoadedRun& a, const LoadedRun& b) {
    ASSERT_EQ(a.tests.size(), b.tests.size());
    for (std::size_t t = 0; t < a.tests.size(); ++t) {
        const auto& x = a.tests[t].readings;
        const auto& y = b.tests[t].readings;
        ASSERT_EQ(x.size(), y.size());
        for (std::size_t i = 0; i < x.size(); ++i) {
            EXPECT_TRUE(SameReadingBits(x[i], y[i])) << t << "/" << i;
        }
    }
}

// The recorded run written the old way into `older`, which stations then open
// together: each brings it up (or finds it done), and the run reads back as recorded.
void ExpectMigratedLikeRecorded(const std::string& older, const LoadedRun& recorded) {
    {
        auto old = OpenAtVersion(older, kRowPerReadingVersion);
        ASSERT_TRUE(old.Ok()) << old.Error();
        const auto written = WriteOldForm(**old, recorded);
        ASSERT_TRUE(written.Ok()) << written.Error();
    }
    // Looking back leaves it as it is, and says why it can't read it yet.
    const auto toRead = OpenRecordsToRead(older);
    ASSERT_FALSE(toRead.Ok());
    EXPECT_NE(toRead.Error().find("has schema version 3, older than this station's"),
              std::string::npos)
        << toRead.Error();
    std::vector<std::string> failures(3);
    std::vector<std::thread> stations;
    for (std::size_t i = 0; i < failures.size(); ++i) {
        stations.emplace_back([&, i] {
            const auto opened = OpenRecordDatabase(older);
            failures[i] = opened.Ok() ? "" : opened.Error();
        });
    }
    for (std::thread& station : stations) {
        station.join();
    }
    for (const std::string& failure : failures) {
        EXPECT_EQ(failure, "");
    }
    const LoadedRun migrated = Loaded(older, recorded.start.uuid);
    ExpectSameReadings(migrated, recorded);
    EXPECT_EQ(RunReportHtml(migrated), RunReportHtml(recorded));
    auto db = OpenSqlConnection(older);
    EXPECT_EQ(ReadSchemaVersion(**db).Value(), CurrentSchemaVersion());
    for (const char* gone : {"readings", "diag_lines"}) {  // not kept twice
        EXPECT_FALSE((*db)->Run(std::string("SELECT COUNT(*) FROM ") + gone).Ok()) << gone;
    }
    EXPECT_EQ(CountRows(**db, "reading_blocks", recorded.start.uuid), 2);
    EXPECT_EQ(CountRows(**db, "diag_blocks", recorded.start.uuid), 3);  // between, and each test
}

TEST(TraceMigrationTest, AnOlderSqliteFileMigratesToTheSameRunAndReport) {
    TempFolder folder;
    const std::string recordedIn = (folder / "results.sqlite").string();
    const LoadedRun recorded = Loaded(recordedIn, RecordSampleRun(recordedIn, folder));
    ASSERT_EQ(recorded.tests.size(), 2u);
    ASSERT_EQ(recorded.tests[1].readings.size(), 300u);
    EXPECT_EQ(recorded.diagLinesBetweenTests.size(), 1u);
    ExpectMigratedLikeRecorded((folder / "older.sqlite").string(), recorded);
}

TEST(TraceMigrationTest, AnOlderServerDatabaseMigratesToTheSameRunAndReport) {
    if (PostgresTestsMaySkip()) {
        GTEST_SKIP() << "Debian's postgresql is not installed";
    }
    PgCluster cluster;
    ASSERT_TRUE(cluster.Ready()) << cluster.Problem();
    TempFolder folder;
    const LoadedRun recorded = Loaded(cluster.Url(), RecordSampleRun(cluster.Url(), folder));
    cluster.Query("CREATE DATABASE older OWNER orvalt");
    std::string older = cluster.Url();
    older.replace(older.find("/postgres?"), 10, "/older?");
    ExpectMigratedLikeRecorded(older, recorded);
    // The numbers the server gives to runs from now on follow the migrated ones.
    const std::string next = RecordSampleRun(older, folder);
    EXPECT_EQ(Loaded(older, next).tests.size(), 2u);
}

// Both spools number their first run 1: the adopted run keeps its own rows.
TEST(TraceMigrationTest, AnEarlierSpoolAdoptedKeepsEachRunWhole) {
    TempFolder folder;
    const std::string earlier = (folder / "earlier.sqlite").string();
    const std::string spool = (folder / "spool.sqlite").string();
    TempFolder spoolsOwn;
    const std::string first = RecordSampleRun(earlier, spoolsOwn);
    const std::string second = RecordSampleRun(spool, spoolsOwn);
    const LoadedRun before = Loaded(earlier, first);
    ASSERT_TRUE(AdoptEarlierSpool(earlier, spool).Ok());
    EXPECT_EQ(SpooledRunCount(spool).Value(), 2);
    const LoadedRun adopted = Loaded(spool, first);
    ExpectSameReadings(adopted, before);
    EXPECT_EQ(RunReportHtml(adopted), RunReportHtml(before));
    EXPECT_EQ(Loaded(spool, second).tests.size(), 2u);
}

TEST(TraceMigrationTest, ADamagedBlockIsAnErrorNamingItsRun) {
    TempFolder folder;
    const std::string target = (folder / "results.sqlite").string();
    const std::string uuid = RecordSampleRun(target, folder);
    auto db = OpenSqlConnection(target);
    for (const char* damage :
         {"UPDATE reading_blocks SET block = substr(block, 1, length(block) - 3)",
          "UPDATE reading_blocks SET reading_count = reading_count + 1",
          "UPDATE reading_blocks SET block = zeroblob(40)",
          "UPDATE diag_blocks SET block = substr(block, 1, 9) || zeroblob(4) || substr(block, "
          "14)"}) {
        auto copy = folder / "damaged.sqlite";
        std::filesystem::copy_file(target, copy, std::filesystem::copy_options::overwrite_existing);
        auto damaged = OpenSqlConnection(copy.string());
        ASSERT_TRUE((*damaged)->Run(damage).Ok()) << damage;
        const auto run = LoadRun(**damaged, uuid);
        ASSERT_FALSE(run.Ok()) << damage;
        EXPECT_NE(run.Error().find("Run " + uuid + ": the block of "), std::string::npos)
            << run.Error();
        const auto page = RunReportPage(**damaged, uuid);
        EXPECT_FALSE(page.Ok()) << damage;
    }
    EXPECT_TRUE(LoadRun(**db, uuid).Ok());
}

}  // namespace
}  // namespace orvalt::test
