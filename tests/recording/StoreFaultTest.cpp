// A results file that can't be written: one clear message, the records wait
// in the spool, and once the file takes writes again they arrive exactly once.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "recording/HealthLog.h"
#include "records/Schema.h"
#include "support/ChildProcess.h"
#include "support/RecordsKit.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;

// A connection of another program holding the file's write lock.
std::unique_ptr<SqlConnection> LockedExclusively(const std::string& file) {
    auto holder = OpenSqlConnection(file);
    if (!holder || !(*holder)->Run("BEGIN EXCLUSIVE").Ok()) {
        ADD_FAILURE() << "could not lock " << file;
        return nullptr;
    }
    return std::move(holder).Value();
}

struct FaultRig {
    TempFolder folder;
    HealthLog health;
    std::string db = (folder / "results.sqlite").string();
    fs::path spool = folder / "spool.sqlite";

    RecordStoreOptions Options() {
        return {db, spool, std::chrono::milliseconds(0), health.Sink()};
    }

    // Records one run of two tests; returns its UUID.
    std::string RecordRun(RecordedCounts& counts) {
        RunRecorder recorder(Options(), {std::chrono::milliseconds(20)});
        const std::string uuid = recorder.BeginRun(SampleRun());
        RecordCompletedTest(recorder, 0, 40, counts);
        RecordCompletedTest(recorder, 1, 40, counts);
        recorder.EndRun({});
        return uuid;
    }
};

TEST(StoreFaultTest, ACorruptFileIsReportedOnceAndTheRunGoesToTheSpool) {
    FaultRig rig;
    WriteBytes(rig.db, std::string(8192, 'x'));
    RecordedCounts counts;
    const std::string uuid = rig.RecordRun(counts);
    const auto reports = rig.health.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_FALSE(reports[0].first);
    EXPECT_NE(reports[0].second.find("file is not a database"), std::string::npos)
        << reports[0].second;
    EXPECT_NE(reports[0].second.find(rig.db), std::string::npos);
    EXPECT_EQ(ReadBytes(rig.db), std::string(8192, 'x'));  // left as it was
    EXPECT_EQ(CountRows(rig.spool.string(), "readings", uuid), counts.readings);
    EXPECT_EQ(CountRows(rig.spool.string(), "tests", uuid), 2);
}

TEST(StoreFaultTest, AFileFromANewerStationIsRefusedUntouched) {
    FaultRig rig;
    {
        auto db = OpenRecordDatabase(rig.db);
        ASSERT_TRUE(db.Ok()) << db.Error();
        ASSERT_TRUE((*db)->Run("UPDATE orvalt_schema SET version = 99").Ok());
    }
    RecordedCounts counts;
    const std::string uuid = rig.RecordRun(counts);
    const auto reports = rig.health.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].second.find("schema version 99, newer than this station's " +
                                     std::to_string(CurrentSchemaVersion())),
              std::string::npos)
        << reports[0].second;
    EXPECT_EQ(CountRows(rig.db, "runs", uuid), 0);
    EXPECT_EQ(CountRows(rig.spool.string(), "readings", uuid), counts.readings);
}

TEST(StoreFaultTest, ALockedFileIsWrittenOnceTheLockIsGone) {
    FaultRig rig;
    ASSERT_TRUE(OpenRecordDatabase(rig.db).Ok());
    RecordedCounts counts;
    std::string uuid;
    {
        const auto holder = LockedExclusively(rig.db);
        ASSERT_TRUE(holder);
        RunRecorder recorder(rig.Options(), {std::chrono::milliseconds(20)});
        uuid = recorder.BeginRun(SampleRun());
        RecordCompletedTest(recorder, 0, 30, counts);
        recorder.Flush();
        EXPECT_EQ(CountRows(rig.spool.string(), "readings", uuid), counts.readings);
        EXPECT_TRUE(holder->Run("ROLLBACK").Ok());
        RecordCompletedTest(recorder, 1, 30, counts);
        recorder.EndRun({});
    }
    const auto reports = rig.health.Reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[0].second.find("locked"), std::string::npos) << reports[0].second;
    EXPECT_TRUE(reports[1].first);
    EXPECT_EQ(CountRows(rig.db, "readings", uuid), counts.readings);
    EXPECT_EQ(CountRows(rig.db, "tests", uuid), 2);
    EXPECT_EQ(CountRows(rig.spool.string(), "readings", uuid), 0);
}

// Another station's write holds the file as this one ends its lot: the
// closing recorder keeps trying, past its retry pace, until the lock is gone,
// rather than leave the run in the spool until the station next starts.
TEST(StoreFaultTest, ALockLiftedAsTheRecorderClosesLetsTheLastRunIn) {
    FaultRig rig;
    ASSERT_TRUE(OpenRecordDatabase(rig.db).Ok());
    RecordStoreOptions options = rig.Options();
    options.retryEvery = std::chrono::hours(1);
    RecordedCounts counts;
    std::string uuid;
    std::atomic<bool> locked = false, letGo = false;
    std::thread otherStation([&] {
        const auto holder = LockedExclusively(rig.db);
        locked = true;
        locked.notify_all();
        letGo.wait(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (holder) {
            EXPECT_TRUE(holder->Run("ROLLBACK").Ok());
        }
    });
    locked.wait(false);
    {
        RunRecorder recorder(options, {std::chrono::milliseconds(20)});
        uuid = recorder.BeginRun(SampleRun());
        RecordCompletedTest(recorder, 0, 30, counts);
        recorder.EndRun({});
        recorder.Flush();
        EXPECT_EQ(CountRows(rig.spool.string(), "readings", uuid), counts.readings);
        letGo = true;
        letGo.notify_all();
    }
    otherStation.join();
    EXPECT_EQ(CountRows(rig.db, "readings", uuid), counts.readings);
    EXPECT_EQ(CountRows(rig.db, "runs", uuid), 1);
    EXPECT_EQ(CountRows(rig.spool.string(), "readings", uuid), 0);
}

// An alarm raised after its run has ended, while the file is locked, waits
// in the spool with the run and arrives with it, once.
TEST(StoreFaultTest, AnAlarmRaisedWhileTheFileIsLockedArrivesFromTheSpool) {
    FaultRig rig;
    ASSERT_TRUE(OpenRecordDatabase(rig.db).Ok());
    RecordedCounts counts;
    std::string uuid;
    {
        const auto holder = LockedExclusively(rig.db);
        ASSERT_TRUE(holder);
        RunRecorder recorder(rig.Options(), {std::chrono::milliseconds(20)});
        uuid = recorder.BeginRun(SampleRun());
        RecordCompletedTest(recorder, 0, 10, counts);
        recorder.EndRun({});
        recorder.RecordAlarm(uuid, {0, "V1", 4, "above", "Drift: V1 on X100: ...", {}});
        recorder.Flush();
        EXPECT_EQ(CountRows(rig.spool.string(), "alarms", uuid), 1);
        EXPECT_EQ(CountRows(rig.db, "alarms", uuid), 0);
        EXPECT_TRUE(holder->Run("ROLLBACK").Ok());
    }
    EXPECT_EQ(CountRows(rig.db, "alarms", uuid), 1);
    EXPECT_EQ(CountRows(rig.db, "tests", uuid), 1);
    EXPECT_EQ(CountRows(rig.spool.string(), "alarms", uuid), 0);
    auto db = OpenSqlConnection(rig.db);
    ASSERT_TRUE(db.Ok());
    const auto kept = (*db)->Run("SELECT test_index, measurement, rule, side, text FROM alarms");
    ASSERT_TRUE(kept.Ok() && kept->size() == 1u);
    EXPECT_EQ((*kept)[0], (SqlRow{"0", "V1", "4", "above", "Drift: V1 on X100: ..."}));
}

// A writer that cannot keep up (the database and the spool both locked, each
// write waiting out SQLite's busy time) never holds up a hand-over: the events
// wait in memory in whole chunks, and every one is stored once the lock is gone.
// The chunks come from the stock the stocker keeps, not from the hand-overs.
TEST(StoreFaultTest, AWriterFallenBehindLosesNothingWhileItsQueueGrowsInWholeChunks) {
    FaultRig rig;
    ASSERT_TRUE(OpenRecordDatabase(rig.db).Ok());
    RecordedCounts counts;
    std::string uuid;
    {
        const auto dbHolder = LockedExclusively(rig.db);
        const auto spoolHolder = LockedExclusively(rig.spool.string());
        ASSERT_TRUE(dbHolder && spoolHolder);
        RunRecorder recorder(rig.Options(), {std::chrono::milliseconds(20)});
        uuid = recorder.BeginRun(SampleRun());
        // The writer takes the run's start and then waits on the locks.
        for (int i = 0; i < 2000 && recorder.Backlog().events > 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        recorder.BeginTest(SampleTest(0));
        // More chunks than the stock holds at the start; a round fills two at most.
        for (int round = 0; round < 30; ++round) {
            for (int i = 0; i < 2000 && recorder.Backlog().stockedChunks < 2; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            RecordTrace(recorder, 1000, counts, 1000 + std::int64_t{round} * 10000);
        }
        const RecorderBacklog backlog = recorder.Backlog();
        EXPECT_GT(backlog.events, 30000u);
        // Whole chunks: those the events fill, and the first one the writer
        // had begun to take before it stalled.
        const std::size_t filled =
            (backlog.events + RunRecorder::kChunkEvents - 1) / RunRecorder::kChunkEvents;
        EXPECT_GE(backlog.chunks, filled);
        EXPECT_LE(backlog.chunks, filled + 1);
        EXPECT_EQ(backlog.sparesMadeByHandOvers, 0u);
        EXPECT_TRUE(dbHolder->Run("ROLLBACK").Ok());
        EXPECT_TRUE(spoolHolder->Run("ROLLBACK").Ok());
        recorder.EndTest({});
        recorder.EndRun({});
    }
    EXPECT_EQ(CountRows(rig.db, "readings", uuid), counts.readings);
    EXPECT_EQ(CountRows(rig.db, "switches", uuid), counts.switches);
    EXPECT_EQ(CountRows(rig.db, "diag_lines", uuid), counts.diagLines);
}

// In virtual time the producer may wait for the writer instead: however far
// the producer outruns the database, no more than kWaitingChunks chunks of
// events ever wait in memory, and every event is still stored once.
TEST(StoreFaultTest, AProducerThatMayWaitKeepsTheWritersBacklogBounded) {
    FaultRig rig;
    RecordedCounts counts;
    std::string uuid;
    std::size_t mostWaiting = 0;
    {
        RunRecorder recorder(rig.Options(), {std::chrono::milliseconds(500), WriterBehind::Wait});
        uuid = recorder.BeginRun(SampleRun());
        recorder.BeginTest(SampleTest(0));
        for (int round = 0; round < 40; ++round) {
            RecordTrace(recorder, 1000, counts, 1000 + std::int64_t{round} * 10000);
            mostWaiting = std::max(mostWaiting, recorder.Backlog().events);
        }
        recorder.EndTest({});
        recorder.EndRun({});
    }
    EXPECT_LE(mostWaiting, RunRecorder::kWaitingChunks * RunRecorder::kChunkEvents);
    EXPECT_EQ(CountRows(rig.db, "readings", uuid), counts.readings);
    EXPECT_EQ(CountRows(rig.db, "switches", uuid), counts.switches);
    EXPECT_EQ(CountRows(rig.db, "diag_lines", uuid), counts.diagLines);
}

// Permissions bind only a user without root's rights, so this runs in a child.
TEST(StoreFaultTest, AReadOnlyFileKeepsItsContentAndTheSpoolTakesTheRun) {
    FaultRig rig;
    ASSERT_TRUE(OpenRecordDatabase(rig.db).Ok());
    fs::permissions(rig.folder.Path(), fs::perms::all);
    chmod(rig.db.c_str(), 0444);
    const std::string outcome = RunInChild([&] {
        DropRoot();
        RecordedCounts counts;
        const std::string uuid = rig.RecordRun(counts);
        const auto reports = rig.health.Reports();
        return std::to_string(reports.size()) + "|" + (reports.empty() ? "" : reports[0].second) +
               "|" +
               std::to_string(CountRows(rig.spool.string(), "readings", uuid) == counts.readings) +
               "|" + std::to_string(CountRows(rig.db, "runs", uuid));
    });
    EXPECT_EQ(outcome.substr(0, 2), "1|") << outcome;
    EXPECT_NE(outcome.find("readonly database"), std::string::npos) << outcome;
    EXPECT_NE(outcome.find("|1|0"), std::string::npos) << outcome;
}

TEST(StoreFaultTest, AFullDiskLeavesTheRowsInTheSpoolAndNothingHalfWritten) {
    FaultRig rig;
    ASSERT_TRUE(OpenRecordDatabase(rig.db).Ok());
    ASSERT_TRUE(OpenRecordDatabase(rig.spool.string()).Ok());  // room for its schema
    const std::string outcome = RunInChild([&] {
        // Room for a few pages, far from enough for the rows below.
        LimitFileSize(static_cast<long>(std::max(fs::file_size(rig.db), fs::file_size(rig.spool))) +
                      64 * 1024);
        RecordStore store(rig.Options());
        std::vector<RowWrite> rows;
        for (int i = 0; i < 20000; ++i) {
            rows.push_back({&ReadingBlocksTable(),
                            {std::string("full"), std::int64_t{i}, std::int64_t{0}, std::int64_t{1},
                             SqlBytes{std::string(60, 's')}}});
        }
        store.Write(rows);
        const auto reports = rig.health.Reports();
        return std::to_string(reports.size()) + "|" + (reports.empty() ? "" : reports[0].second) +
               "|" + std::to_string(store.HeldRows());
    });
    // Neither file could take 20000 rows: they stay in memory for the next try,
    // and no part of them is in either file.
    EXPECT_EQ(outcome.substr(0, 2), "1|") << outcome;
    EXPECT_NE(outcome.find("|20000"), std::string::npos) << outcome;
    EXPECT_EQ(CountRows(rig.db, "readings", "full"), 0);
    EXPECT_EQ(CountRows(rig.spool.string(), "readings", "full"), 0);
}

}  // namespace
}  // namespace orvalt::test
