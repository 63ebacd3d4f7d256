// Several station processes at once: recording into a database that does not
// exist yet, and sharing one spool while one of them forwards it. Every run
// arrives whole, and no process finds its database refusing it.

#include <gtest/gtest.h>

#include "recording/HealthLog.h"
#include "support/ChildProcess.h"
#include "support/PgCluster.h"
#include "support/RecordsKit.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kStations = 8;
constexpr int kReadingsPerTest = 40;

// One station's run of two tests: "<health reports>|<uuid>|<readings>".
std::string RecordOneRun(const std::string& target, const fs::path& spool) {
    HealthLog health;
    RecordedCounts counts;
    std::string uuid;
    {
        RunRecorder recorder({target, spool, 0ms, health.Sink()}, {20ms});
        uuid = recorder.BeginRun(SampleRun());
        RecordCompletedTest(recorder, 0, kReadingsPerTest, counts);
        RecordCompletedTest(recorder, 1, kReadingsPerTest, counts);
        recorder.EndRun({});
    }
    std::string said;
    for (const auto& [up, message] : health.Reports()) {
        said += message + ";";
    }
    return said + "|" + uuid + "|" + std::to_string(counts.readings);
}

// Each station's run is whole in the database, and none was told of trouble.
void ExpectEveryRunWhole(const std::string& target, const std::vector<std::string>& outcomes) {
    auto db = OpenSqlConnection(target);
    ASSERT_TRUE(db.Ok()) << db.Error();
    for (const std::string& outcome : outcomes) {
        const auto bar = outcome.find('|'), last = outcome.rfind('|');
        ASSERT_TRUE(bar != std::string::npos && last > bar) << outcome;
        EXPECT_EQ(bar, 0u) << outcome;  // no report: the database took every write
        const std::string uuid = outcome.substr(bar + 1, last - bar - 1);
        EXPECT_EQ(CountRows(**db, "tests", uuid), 2) << uuid;
        EXPECT_EQ(CountRows(**db, "readings", uuid), std::stoll(outcome.substr(last + 1))) << uuid;
        const auto ended =
            (*db)->Run("SELECT ended_how, tests_completed FROM runs WHERE run_uuid = $1", {uuid});
        ASSERT_TRUE(ended.Ok() && ended->size() == 1u) << uuid;
        EXPECT_EQ(CellText((*ended)[0][0]), "completed");
        EXPECT_EQ(CellInteger((*ended)[0][1]), 2);
    }
    const auto runs = (*db)->Run("SELECT COUNT(*) FROM runs");
    ASSERT_TRUE(runs.Ok());
    EXPECT_EQ(CellInteger((*runs)[0][0]), kStations);
}

TEST(ConcurrencyTest, StationsStartedAtOnceOnANewFileEachKeepTheirWholeRun) {
    TempFolder folder;
    const std::string db = (folder / "new" / "results.sqlite").string();
    const auto outcomes = RunChildrenTogether(
        kStations, [&](int) { return RecordOneRun(db, folder / "spool.sqlite"); });
    ExpectEveryRunWhole(db, outcomes);
}

TEST(ConcurrencyTest, StationsStartedAtOnceOnANewServerDatabaseEachKeepTheirWholeRun) {
    if (PostgresTestsMaySkip()) {
        GTEST_SKIP() << "Debian's postgresql is not installed";
    }
    PgCluster cluster;
    ASSERT_TRUE(cluster.Ready()) << cluster.Problem();
    TempFolder folder;
    const auto outcomes = RunChildrenTogether(
        kStations, [&](int) { return RecordOneRun(cluster.Url(), folder / "spool.sqlite"); });
    ExpectEveryRunWhole(cluster.Url(), outcomes);
}

// Three stations whose database is unreadable spool their runs, batch by
// batch, into the one spool, while a fourth, whose database works, forwards
// it again and again as each of its starts would.
TEST(ConcurrencyTest, SpoolWritersAndAForwarderAtOnceLoseNoRow) {
    constexpr int kWriters = 3, kRunsEach = 4, kReadings = 400;
    TempFolder folder;
    const std::string broken = (folder / "broken.sqlite").string();
    WriteBytes(broken, std::string(8192, 'x'));
    const std::string db = (folder / "results.sqlite").string();
    const fs::path spool = folder / "spool.sqlite";
    const auto outcomes = RunChildrenTogether(kWriters + 1, [&](int i) -> std::string {
        if (i < kWriters) {
            RecordedCounts counts;
            RunRecorder recorder({broken, spool, 0ms, {}}, {5ms});
            for (int run = 0; run < kRunsEach; ++run) {
                recorder.BeginRun(SampleRun("X100", "SN-" + std::to_string(i)));
                RecordCompletedTest(recorder, 0, kReadings, counts);
                recorder.Flush();
                RecordCompletedTest(recorder, 1, kReadings, counts);
                recorder.EndRun({});
                recorder.Flush();
            }
            WriteBytes(folder / ("done-" + std::to_string(i)), "");
            return std::to_string(counts.readings);
        }
        for (int pass = 0; pass < 2000; ++pass) {
            RecordStore({db, spool, 0ms, {}}).Write({});
            int done = 0;
            for (int writer = 0; writer < kWriters; ++writer) {
                done += fs::exists(folder / ("done-" + std::to_string(writer)));
            }
            if (done == kWriters) {
                break;
            }
        }
        return std::string("forwarded");
    });
    ASSERT_EQ(outcomes.back(), "forwarded");
    RecordStore({db, spool, 0ms, {}}).Write({});  // what came after its last pass

    auto opened = OpenSqlConnection(db);
    ASSERT_TRUE(opened.Ok()) << opened.Error();
    SqlConnection& results = **opened;
    const auto runs = results.Run(
        "SELECT serial, COUNT(*), SUM(tests_completed) FROM runs WHERE ended_how = 'completed'"
        " GROUP BY serial ORDER BY serial");
    ASSERT_TRUE(runs.Ok()) << runs.Error();
    ASSERT_EQ(runs->size(), static_cast<std::size_t>(kWriters));
    std::int64_t readings = 0;
    for (int writer = 0; writer < kWriters; ++writer) {
        const SqlRow& row = (*runs)[static_cast<std::size_t>(writer)];
        EXPECT_EQ(CellText(row[0]), "SN-" + std::to_string(writer));
        EXPECT_EQ(CellInteger(row[1]), kRunsEach);
        EXPECT_EQ(CellInteger(row[2]), 2 * kRunsEach);
        readings += std::stoll(outcomes[static_cast<std::size_t>(writer)]);
    }
    const auto stored = results.Run("SELECT COALESCE(SUM(reading_count), 0) FROM reading_blocks");
    ASSERT_TRUE(stored.Ok());
    EXPECT_EQ(CellInteger((*stored)[0][0]), readings);
    const auto left = OpenSqlConnection(spool.string());
    ASSERT_TRUE(left.Ok()) << left.Error();
    const auto spooled = (*left)->Run("SELECT COALESCE(SUM(reading_count), 0) FROM reading_blocks");
    ASSERT_TRUE(spooled.Ok()) << spooled.Error();
    EXPECT_EQ(CellInteger((*spooled)[0][0]), 0);
}

}  // namespace
}  // namespace orvalt::test
