// The recorder over a SQLite file: what goes in comes back whole, once, with
// the trace's times taken from the test's first power switch.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "reading/RunLoad.h"
#include "recording/EventRows.h"
#include "recording/SettingsPairs.h"
#include "support/RecordsKit.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

RecordStoreOptions LocalStore(const TempFolder& folder) {
    return {(folder / "results.sqlite").string(),
            folder / "spool.sqlite",
            std::chrono::milliseconds(50),
            {}};
}

TEST(RunRecorderTest, RecordsARunWholeAndReadsItBack) {
    TempFolder folder;
    RecordedCounts counts;
    std::string uuid;
    {
        RunRecorder recorder(LocalStore(folder));
        uuid = recorder.BeginRun(SampleRun());
        for (int index = 0; index < 3; ++index) {
            RecordCompletedTest(recorder, index, 57 + index, counts);
        }
        recorder.EndRun({RecordEnd::Completed, "", ""});
    }
    auto db = OpenSqlConnection((folder / "results.sqlite").string());
    ASSERT_TRUE(db.Ok()) << db.Error();
    const auto loaded = LoadRun(**db, uuid);
    ASSERT_TRUE(loaded.Ok()) << loaded.Error();
    ASSERT_TRUE(loaded->has_value());
    const LoadedRun& run = loaded->value();
    EXPECT_EQ(run.endedHow, "completed");
    EXPECT_EQ(run.start.unit.serial, "SN-1");
    EXPECT_EQ(run.start.settings.size(), 3u);
    ASSERT_EQ(run.tests.size(), 3u);
    std::size_t readings = 0;
    for (const auto& test : run.tests) {
        EXPECT_EQ(test.endedHow, "completed");
        EXPECT_EQ(test.summaryLine, "12-06-26, 1, 0, Acme");
        EXPECT_EQ(test.measurements.size(), 2u);
        EXPECT_EQ(test.start.planTexts[0], std::to_string(test.start.index + 1));
        readings += test.readings.size();
        // Each reading is 10 ms on from the test's first switch.
        ASSERT_FALSE(test.readings.empty());
        EXPECT_EQ(test.readings[0].ms, 0);
        EXPECT_EQ(test.readings[5].ms, 50);
        EXPECT_EQ(test.readings[5].status, "reading #5");
        EXPECT_DOUBLE_EQ(test.readings[7].volts, 0.07);
        EXPECT_EQ(test.switches[1].on, true);
    }
    EXPECT_EQ(static_cast<std::int64_t>(readings), counts.readings);
    EXPECT_EQ(CountRows(**db, "switches", uuid), counts.switches);
    EXPECT_EQ(CountRows(**db, "diag_lines", uuid), counts.diagLines);
}

// The session stamps every event's time; the recorder keeps it as handed, a
// time before the test's origin too.
TEST(RunRecorderTest, KeepsTheTimesHandedOverAndAStopAbandonsTheTestInProgress) {
    TempFolder folder;
    std::string uuid;
    {
        RunRecorder recorder(LocalStore(folder));
        uuid = recorder.BeginRun(SampleRun());
        recorder.BeginTest(SampleTest(0));
        recorder.RecordSwitch(0, 4, false);
        recorder.RecordReading(32, 1.0, "first");
        recorder.EndTest({});
        recorder.BeginTest(SampleTest(1));
        recorder.RecordSwitch(-2000, 5, true);
        recorder.RecordSwitch(0, 4, false);
        recorder.RecordReading(250, 2.0, "second");
        recorder.RecordSwitch(2000, 4, true);
        recorder.RecordReading(2001, 2.0, "later");
        recorder.EndRun({RecordEnd::Stopped, "Stop pressed", {}});
    }
    auto db = OpenSqlConnection((folder / "results.sqlite").string());
    const auto loaded = LoadRun(**db, uuid);
    ASSERT_TRUE(loaded.Ok() && loaded->has_value());
    const auto& tests = (*loaded)->tests;
    ASSERT_EQ(tests.size(), 2u);
    EXPECT_EQ(tests[0].readings.at(0).ms, 32);
    EXPECT_EQ(tests[1].switches.at(0).ms, -2000);
    EXPECT_EQ(tests[1].readings.at(0).ms, 250);
    EXPECT_EQ(tests[1].readings.at(1).ms, 2001);
    // The run was stopped during its second test: that test is abandoned.
    EXPECT_EQ(tests[1].endedHow, "abandoned");
    EXPECT_EQ((*loaded)->endedHow, "stopped");
    EXPECT_EQ((*loaded)->endReason, "Stop pressed");
}

TEST(RunRecorderTest, WritingTheSameRowsAgainChangesNothing) {
    TempFolder folder;
    auto db = OpenRecordDatabase((folder / "r.sqlite").string());
    ASSERT_TRUE(db.Ok()) << db.Error();
    RunStart run = SampleRun();
    run.uuid = "run-1";
    std::vector<RowWrite> rows;
    AppendEventRows(RunBegan{run}, rows);
    AppendEventRows(ReadingTaken{{"run-1", 7, 0}, {10, 1.5, "a"}}, rows);
    AppendEventRows(
        TestEnded{
            "run-1",
            SampleTest(0),
            {RecordEnd::Completed, "line", {{"CT", 1.0}}, Verdict{VerdictKind::Pass, ""}, "t"}},
        rows);
    ASSERT_TRUE(WriteRows(**db, rows).Ok());
    // The end of the run arrives later; the start columns keep what they had.
    std::vector<RowWrite> again = rows;
    RunStart changed = run;
    changed.host = "other";
    AppendEventRows(RunEnded{changed, {RecordEnd::Completed, "", "end"}, {}}, again);
    ASSERT_TRUE(WriteRows(**db, again).Ok());
    ASSERT_TRUE(WriteRows(**db, again).Ok());
    for (const char* table : {"runs", "readings", "tests", "measurements", "run_settings"}) {
        EXPECT_EQ(CountRows(**db, table, "run-1"), std::string(table) == "run_settings" ? 3 : 1)
            << table;
    }
    const auto runs = (*db)->Run("SELECT host, ended_at, ended_how FROM runs");
    EXPECT_EQ(CellText(runs->at(0)[0]), "bench-3");
    EXPECT_EQ(CellText(runs->at(0)[1]), "end");
    const auto tests = (*db)->Run("SELECT verdict FROM tests");
    EXPECT_EQ(CellText(tests->at(0)[0]), "PASS");
}

// Readings committed in the background reach the file while the station is
// still recording: a station killed in the middle of a write keeps every
// completed test and every reading it had committed. How soon they are
// committed is the recorder's flush interval; a loaded machine under a
// sanitizer can take seconds, so the child waits until it sees them.
bool CommittedBeforeTheKill(const std::string& db, const std::string& uuid) {
    auto open = OpenSqlConnection(db);
    if (!open.Ok()) {
        return false;
    }
    const auto first = (*open)->Run(
        "SELECT ended_how FROM tests JOIN run_keys USING (run_id)"
        " WHERE run_uuid = $1 AND test_index = 0",
        {uuid});
    return first.Ok() && first->size() == 1 && CountRows(**open, "readings", uuid) >= 700;
}

TEST(RunRecorderTest, AKilledStationKeepsEverythingItHadCommitted) {
    TempFolder folder;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        RunRecorder recorder(LocalStore(folder), {std::chrono::milliseconds(200)});
        RecordedCounts counts;
        const std::string uuid = recorder.BeginRun(SampleRun());
        RecordCompletedTest(recorder, 0, 300, counts);
        recorder.BeginTest(SampleTest(1));
        RecordTrace(recorder, 400, counts);
        const std::string db = (folder / "results.sqlite").string();
        for (int wait = 0; wait < 300 && !CommittedBeforeTheKill(db, uuid); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const std::string message = uuid + "\n";
        [[maybe_unused]] auto written = write(ready[1], message.data(), message.size());
        RecordTrace(recorder, 1000000, counts);  // still recording when killed
        _exit(0);
    }
    close(ready[1]);
    char buffer[64] = {};
    ASSERT_GT(read(ready[0], buffer, sizeof buffer - 1), 0);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    const std::string uuid(buffer, 36);
    const std::string db = (folder / "results.sqlite").string();
    auto open = OpenSqlConnection(db);
    ASSERT_TRUE(open.Ok()) << open.Error();
    const auto first = (*open)->Run(
        "SELECT ended_how FROM tests JOIN run_keys USING (run_id)"
        " WHERE run_uuid = $1 AND test_index = 0",
        {uuid});
    ASSERT_EQ(first->size(), 1u);
    EXPECT_EQ(CellText((*first)[0][0]), "completed");
    const auto traced = (*open)->Run(
        "SELECT SUM(reading_count) FROM reading_blocks JOIN run_keys USING (run_id)"
        " WHERE run_uuid = $1 AND test_index = $2",
        {uuid, std::int64_t{1}});
    // The 400 readings of the test in progress that were committed are in.
    EXPECT_GE(CellInteger(traced->at(0).at(0)), 400);
    EXPECT_GE(CountRows(**open, "readings", uuid), 700);
}

// The settings as a run keeps them: every registry value by its name.
TEST(SettingsPairsTest, KeepsAllThirtyEightValuesByTheirRegistryNames) {
    SettingsRecord settings = DefaultSettings();
    settings.cfgTime1 = -7;
    const auto pairs = SettingsPairs(settings);
    EXPECT_EQ(pairs.size(), 38u);
    const auto value = [&](const std::string& name) {
        for (const auto& [key, text] : pairs) {
            if (key == name) {
                return text;
            }
        }
        return std::string("missing");
    };
    EXPECT_EQ(value("VoltageOn"), "2.0");
    EXPECT_EQ(value("cfgTime1"), "-7");
    EXPECT_EQ(value("TaskTerminateWaitTime"), "5000");
}

}  // namespace
}  // namespace orvalt::test
