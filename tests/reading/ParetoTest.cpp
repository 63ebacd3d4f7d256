// The failure Pareto over a few runs written straight into the tables, on
// SQLite and on a PostgreSQL server, held against the runs counted by hand:
// each grouping, the worst values, the totals, and a filter that leaves a
// failed run of another model out.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "reading/Pareto.h"
#include "recording/RecordStore.h"
#include "support/OpenedDatabase.h"

namespace orvalt::test {
namespace {

struct StoredMeasurement {
    std::string name;
    double value;
    std::optional<double> min, max;
    std::optional<std::string> outcome;
};

struct StoredTest {
    std::optional<std::string> verdict, endedHow;
    std::vector<StoredMeasurement> measurements;
};

struct StoredRun {
    std::string uuid, host, fixture, model;
    std::optional<std::string> verdict, endedHow;
    std::vector<StoredTest> tests;
};

using Rows = std::vector<std::string>;

const StoredMeasurement kV4High{"V4", 4.70, std::nullopt, 4.50, "FAIL"};
const StoredMeasurement kV4Higher{"V4", 4.801, std::nullopt, 4.50, "FAIL"};
const StoredMeasurement kV4Low{"V4", 2.30, 2.40, 4.50, "FAIL"};
const StoredMeasurement kOffAHigh{"TimeToOffA", 1.25, 0.0, 1.00, "FAIL"};
const StoredMeasurement kV1Fine{"V1.c1", 2.50, 2.40, 2.80, "PASS"};
const StoredTest kPassed{"PASS", "completed", {kV1Fine}};

// On X100 unless said: r1-r6 failed, r7 passed, r9 was not judged; r8, of
// Y200, failed but the filter leaves it out.
const std::vector<StoredRun> kRuns{
    {"r1",
     "A",
     "Bay 1",
     "X100",
     "FAIL",
     "completed",
     {{"FAIL", "completed", {kV4High, kV1Fine}}, {"FAIL", "completed", {kOffAHigh}}}},
    {"r2", "A", "Bay 1", "X100", "FAIL", "completed", {{"FAIL", "completed", {kV4Higher}}}},
    {"r3", "A", "Bay 2", "X100", "FAIL", "completed", {kPassed, {"FAIL", "completed", {kV4Low}}}},
    {"r4", "B", "", "X100", "ERROR", "stopped", {kPassed, {std::nullopt, "stopped", {}}}},
    {"r5", "B", "", "X100", "ERROR", "abandoned", {}},
    {"r6",
     "B",
     "",
     "X100",
     "FAIL",
     "completed",
     {{"FAIL", "completed", {{"V4", 4.9, std::nullopt, 4.50, std::nullopt}}}}},
    {"r7", "A", "Bay 1", "X100", "PASS", "completed", {kPassed}},
    {"r8", "A", "Bay 1", "Y200", "FAIL", "completed", {{"FAIL", "completed", {kV4High}}}},
    {"r9", "A", "Bay 2", "X100", std::nullopt, "completed", {kPassed}},
};

SqlValue Maybe(const std::optional<std::string>& text) {
    return text ? SqlValue(*text) : SqlValue();
}

SqlValue Maybe(const std::optional<double>& number) {
    return number ? SqlValue(*number) : SqlValue();
}

class ParetoTest : public OpenedDatabase {
  protected:
    void SetUp() override {
        OpenedDatabase::SetUp();
        if (Stopped())
            return;
        for (const StoredRun& run : kRuns)
            Store(run);
    }

    void Run(const std::string& sql, const std::vector<SqlValue>& params) {
        const auto done = db_->Run(sql, params);
        ASSERT_TRUE(done.Ok()) << done.Error();
    }

    void Store(const StoredRun& run) {
        Run("INSERT INTO runs (run_uuid, started_at, host, fixture, model, serial, verdict,"
            " ended_how) VALUES ($1, '2026-12-01T08:00:00.000Z', $2, $3, $4, $1, $5, $6)",
            {run.uuid, run.host, run.fixture, run.model, Maybe(run.verdict), Maybe(run.endedHow)});
        Run("INSERT INTO run_keys (run_uuid) VALUES ($1)", {run.uuid});
        const std::string key = "(SELECT run_id FROM run_keys WHERE run_uuid = $1)";
        for (std::size_t i = 0; i < run.tests.size(); ++i) {
            const StoredTest& test = run.tests[i];
            const auto index = static_cast<std::int64_t>(i);
            Run("INSERT INTO tests (run_id, test_index, mode, verdict, ended_how) VALUES (" + key +
                    ", $2, $3, $4, $5)",
                {run.uuid, index, i == 0 ? "cycle" : "onoff", Maybe(test.verdict),
                 Maybe(test.endedHow)});
            for (const StoredMeasurement& m : test.measurements)
                Run("INSERT INTO measurements (run_id, test_index, name, value, decimals,"
                    " min_value, max_value, outcome) VALUES (" +
                        key + ", $2, $3, $4, 2, $5, $6, $7)",
                    {run.uuid, index, m.name, m.value, Maybe(m.min), Maybe(m.max),
                     Maybe(m.outcome)});
        }
    }

    // Each row as "name runs" and its worst value when it has one.
    std::vector<std::string> Counted(ParetoGrouping by) {
        const Result<Pareto> pareto = QueryPareto(*db_, by, {.model = "X100"});
        EXPECT_TRUE(pareto.Ok()) << pareto.Error();
        if (!pareto)
            return {};
        EXPECT_EQ(pareto->runs, 8);
        EXPECT_EQ(pareto->failedRuns, 6);
        std::vector<std::string> rows;
        for (const FailureReason& row : pareto->rows)
            rows.push_back(
                row.reason + " " + std::to_string(row.runs) +
                (row.worst ? std::string(", worst ") + WorstValueText(*row.worst) : std::string()));
        return rows;
    }
};

TEST_P(ParetoTest, EachGroupingCountsTheFilteredFailedRunsAsTheyWereRecorded) {
    if (Stopped())
        return;
    // r8's V4 of Y200 would make Test 1's worst 4.70 and its count 3.
    EXPECT_EQ(Counted(ParetoGrouping::Reason),
              (Rows{"Test 1: Level 4 light above the 4.50 V maximum 2, worst 4.80 V",
                    "ERROR: abandoned 1", "ERROR: stopped 1",
                    "FAIL without a failed measurement recorded 1",
                    "Test 2: Level 4 light below the 2.40 V minimum 1, worst 2.30 V",
                    "Test 2: Time to OFF (A) above the 1.00 s maximum 1, worst 1.25 s"}));
    // r4's stopped test failed it; r5 never began one.
    EXPECT_EQ(Counted(ParetoGrouping::Test),
              (Rows{"Test 1 (cycle) 3", "Test 2 (onoff) 3", "No failed test recorded 1"}));
    EXPECT_EQ(Counted(ParetoGrouping::Fixture), (Rows{"B 3", "A / Bay 1 2", "A / Bay 2 1"}));
    EXPECT_EQ(Counted(ParetoGrouping::Station), (Rows{"A 3", "B 3"}));
}

INSTANTIATE_TEST_SUITE_P(SqliteAndServer, ParetoTest, ::testing::Bool());

}  // namespace
}  // namespace orvalt::test
