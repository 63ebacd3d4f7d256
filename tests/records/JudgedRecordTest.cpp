// A run's record proves its verdict: it reads back with the limits, the
// program, the device, who tested and which attempt on the unit it was, and
// each measurement with its unit, bounds and outcome, on SQLite and on a
// server; and a database recorded before these were kept upgrades in place
// with its attempts numbered and its judged runs' verdicts, nothing lost.

#include <gtest/gtest.h>

#include "reading/RunLoad.h"
#include "recording/RunRecorder.h"
#include "records/Schema.h"
#include "support/EitherDatabase.h"
#include "support/OldSchemaKit.h"
#include "support/RecordsKit.h"
#include "support/StoredWords.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

RunStart JudgedRun(const std::string& serial, int second) {
    RunStart run = SampleRun("X100", serial);
    run.startedAt = "2026-12-08T10:00:0" + std::to_string(second) + ".000Z";
    run.login = "op7";
    run.lot = "WO-4711";
    run.limitsName = "x100.csv";
    run.limitsText = "measurement,min,max\r\nV4,,4.5\r\nCT,10,12\r\n";
    run.limitsSha256 = "ab12";
    run.programVersion = "1.0.62";
    run.u3Serial = "320012345";
    run.u3Firmware = "1.46";
    return run;
}

MeasurementRecord Judged(NamedMeasurement figure, std::optional<double> min,
                         std::optional<double> max, MeasurementOutcome outcome) {
    return {std::move(figure), min, max, outcome};
}

// V4 over its maximum, CT inside its bounds, TimeToOn without a limit.
std::vector<MeasurementRecord> FailedFigures() {
    return {Judged({"V4", 4.7, "V", 2}, std::nullopt, 4.5, MeasurementOutcome::Fail),
            Judged({"CT", 11.25, "s", 2}, 10.0, 12.0, MeasurementOutcome::Pass),
            Judged({"TimeToOn", 0.751, "s", 3}, std::nullopt, std::nullopt,
                   MeasurementOutcome::NotJudged)};
}

// One run of one test, ended as `how` with the unit's verdict `unitVerdict`.
std::string RecordRun(RunRecorder& recorder, RunStart run, const std::string& unitVerdict,
                      RecordEnd how = RecordEnd::Completed) {
    const std::string uuid = recorder.BeginRun(std::move(run));
    recorder.BeginTest(SampleTest(0));
    std::optional<Verdict> verdict;
    if (!unitVerdict.empty()) {
        verdict = Verdict{StoredVerdict::Read(unitVerdict),
                          unitVerdict == "FAIL" ? "V4 4.70 > 4.50" : ""};
    }
    recorder.EndTest({how, "summary", FailedFigures(), verdict, {}});
    recorder.EndRun({how, {}, {}, VerdictWritten(unitVerdict)});
    return uuid;
}

LoadedRun Loaded(SqlConnection& db, const std::string& uuid) {
    const auto run = LoadRun(db, uuid);
    EXPECT_TRUE(run.Ok() && run->has_value()) << (run.Ok() ? "no run" : run.Error());
    return run.Ok() && *run ? **run : LoadedRun{};
}

void ExpectSameMeasurements(const std::vector<MeasurementRecord>& loaded,
                            const std::vector<MeasurementRecord>& recorded) {
    ASSERT_EQ(loaded.size(), recorded.size());
    for (const MeasurementRecord& want : recorded) {
        const auto got = std::find_if(loaded.begin(), loaded.end(), [&](const auto& m) {
            return m.figure.name == want.figure.name;
        });
        ASSERT_NE(got, loaded.end()) << want.figure.name;
        EXPECT_EQ(got->figure.value, want.figure.value) << want.figure.name;
        EXPECT_EQ(got->figure.unit, want.figure.unit) << want.figure.name;
        EXPECT_EQ(got->figure.decimals, want.figure.decimals) << want.figure.name;
        EXPECT_EQ(got->min, want.min) << want.figure.name;
        EXPECT_EQ(got->max, want.max) << want.figure.name;
        EXPECT_EQ(got->outcome, want.outcome) << want.figure.name;
    }
}

using JudgedRecordTest = EitherDatabase;

TEST_P(JudgedRecordTest, ARunReadsBackWithWhatJudgedItAndItsAttemptOnTheUnit) {
    std::vector<std::string> runs;
    {
        RunRecorder recorder(
            {Target(), folder_ / "spool.sqlite", std::chrono::milliseconds(50), {}},
            {std::chrono::milliseconds(5)});
        RunStart unjudged = SampleRun("X100", "");
        unjudged.startedAt = "2026-12-08T10:00:03.000Z";
        // Out of start order on purpose, as when a run waited in a spool: the
        // attempt follows when the runs began.
        runs.push_back(RecordRun(recorder, JudgedRun("SN-1", 4), "PASS"));
        runs.push_back(RecordRun(recorder, JudgedRun("SN-2", 2), "PASS"));
        runs.push_back(RecordRun(recorder, JudgedRun("SN-1", 1), "FAIL"));
        runs.push_back(RecordRun(recorder, unjudged, ""));
        runs.push_back(RecordRun(recorder, JudgedRun("SN-1", 5), "ERROR", RecordEnd::Stopped));
    }
    auto db = OpenSqlConnection(Target());
    ASSERT_TRUE(db.Ok()) << db.Error();
    const LoadedRun first = Loaded(**db, runs[2]);
    const RunStart want = JudgedRun("SN-1", 1);
    for (auto field :
         {&RunStart::operatorName, &RunStart::login, &RunStart::lot, &RunStart::limitsName,
          &RunStart::limitsText, &RunStart::limitsSha256, &RunStart::programVersion,
          &RunStart::u3Serial, &RunStart::u3Firmware, &RunStart::host, &RunStart::startedAt}) {
        EXPECT_EQ(first.start.*field, want.*field);
    }
    EXPECT_EQ(WordRead(first.unitVerdict), "FAIL");
    ASSERT_EQ(first.tests.size(), 1u);
    ExpectSameMeasurements(first.tests[0].measurements, FailedFigures());

    const std::vector<std::optional<std::int64_t>> attempts{2, 1, 1, std::nullopt, 3};
    const std::vector<std::string> verdicts{"PASS", "PASS", "FAIL", "", "ERROR"};
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const LoadedRun run = Loaded(**db, runs[i]);
        EXPECT_EQ(run.attempt, attempts[i]) << i;
        EXPECT_EQ(WordRead(run.unitVerdict), verdicts[i]) << i;
    }
}

// The layout of the station before runs kept what judged them: the run and
// its measurements read back as they were, attempts numbered in start order,
// and a judged run's verdict drawn from its tests'.
TEST_P(JudgedRecordTest, ADatabaseOfTheLayoutBeforeUpgradesInPlaceWithNothingLost) {
    constexpr int kBefore = 4;
    std::vector<LoadedRun> older;
    const std::vector<std::string> verdicts{"FAIL", "PASS", ""};
    for (std::size_t i = 0; i < verdicts.size(); ++i) {
        LoadedRun run;
        run.start = SampleRun("X100", "SN-9");
        run.start.uuid = "00000000-0000-4000-8000-00000000000" + std::to_string(i);
        run.start.startedAt = "2026-12-0" + std::to_string(3 - i) + "T08:00:00.000Z";
        run.endedAt = "2026-12-08T09:00:00.000Z";
        run.endedHow = "completed";
        LoadedTest test;
        test.start = SampleTest(0);
        test.endedHow = "completed";
        if (!verdicts[i].empty()) {
            test.verdict = Verdict{StoredVerdict::Read(verdicts[i]), ""};
        }
        test.measurements = {{{"CT", 11.5 + static_cast<double>(i)}}};
        run.tests.push_back(test);
        older.push_back(run);
    }
    {
        auto old = OpenAtVersion(Target(), 3);
        ASSERT_TRUE(old.Ok()) << old.Error();
        for (const LoadedRun& run : older) {
            ASSERT_TRUE(WriteOldForm(**old, run).Ok());
        }
        ASSERT_TRUE(PrepareSchema(**old, kBefore).Ok());
        ASSERT_EQ(ReadSchemaVersion(**old).Value(), kBefore);
        // Tallies as the station of that layout kept them.
        ASSERT_TRUE((*old)
                        ->Run("UPDATE runs SET tests_passed = (SELECT COUNT(*) FROM tests t"
                              " JOIN run_keys k ON k.run_id = t.run_id WHERE k.run_uuid ="
                              " runs.run_uuid AND t.verdict = 'PASS'), tests_failed = (SELECT"
                              " COUNT(*) FROM tests t JOIN run_keys k ON k.run_id = t.run_id"
                              " WHERE k.run_uuid = runs.run_uuid AND t.verdict = 'FAIL')")
                        .Ok());
    }
    auto db = OpenRecordDatabase(Target());
    ASSERT_TRUE(db.Ok()) << db.Error();
    EXPECT_EQ(ReadSchemaVersion(**db).Value(), CurrentSchemaVersion());
    // Started on the 3rd, 2nd and 1st: the last written is the first attempt.
    const std::vector<std::int64_t> attempts{3, 2, 1};
    for (std::size_t i = 0; i < older.size(); ++i) {
        const LoadedRun run = Loaded(**db, older[i].start.uuid);
        EXPECT_EQ(run.attempt, attempts[i]) << i;
        EXPECT_EQ(WordRead(run.unitVerdict), verdicts[i]) << i;
        EXPECT_EQ(run.start.operatorName, "alice");
        ASSERT_EQ(run.tests.size(), 1u);
        ASSERT_EQ(run.tests[0].measurements.size(), 1u);
        const MeasurementRecord& ct = run.tests[0].measurements[0];
        EXPECT_EQ(ct.figure.value, 11.5 + static_cast<double>(i));
        EXPECT_EQ(ct.outcome, MeasurementOutcome::NotJudged);
        EXPECT_FALSE(ct.min || ct.max);
        EXPECT_EQ(run.tests[0].verdict.has_value(), !verdicts[i].empty());
    }
    // A run recorded after the upgrade counts the older ones before it.
    {
        RunRecorder recorder(
            {Target(), folder_ / "spool.sqlite", std::chrono::milliseconds(50), {}},
            {std::chrono::milliseconds(5)});
        const std::string next = RecordRun(recorder, JudgedRun("SN-9", 7), "PASS");
        recorder.Flush();
        EXPECT_EQ(Loaded(**db, next).attempt, 4);
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, JudgedRecordTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Server" : "Sqlite"; });

}  // namespace
}  // namespace orvalt::test
