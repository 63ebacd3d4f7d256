#include "reading/Pareto.h"

#include <utility>

#include "reading/RunLoad.h"
#include "reading/Yield.h"
#include "verdict/OperatorWords.h"

namespace orvalt {

namespace {

constexpr std::pair<const char*, ParetoGrouping> kGroupings[] = {
    {"reason", ParetoGrouping::Reason},
    {"test", ParetoGrouping::Test},
    {"fixture", ParetoGrouping::Fixture},
    {"station", ParetoGrouping::Station},
};

constexpr const char* kRunsWithKeys = " FROM runs r JOIN run_keys k ON k.run_uuid = r.run_uuid";

// A failed run none of whose tests is recorded as failed or not completed.
constexpr const char* kNoFailedTest = "No failed test recorded";

// The run's group as yield names it; none for reasons and tests, which come
// from the run's tests.
std::string GroupColumnSql(ParetoGrouping by) {
    if (by == ParetoGrouping::Fixture) {
        return YieldGroupSql(YieldGrouping::Fixture);
    }
    if (by == ParetoGrouping::Station) {
        return YieldGroupSql(YieldGrouping::Station);
    }
    return "NULL";
}

// The columns: run key, unit verdict, how it ended, its group.
std::string FailedRunsSql(const RunPick& runs, ParetoGrouping by) {
    return std::string("SELECT k.run_id, r.verdict, r.ended_how, ")
        .append(GroupColumnSql(by))
        .append(kRunsWithKeys)
        .append(" WHERE ")
        .append(runs.where)
        .append(" AND ")
        .append(FailedVerdictSql("r.verdict"));
}

std::string RunCountSql(const RunPick& runs) {
    return "SELECT COUNT(*) FROM runs r WHERE " + runs.where;
}

// The tests of the failed runs that failed, were in error or did not complete.
std::string FailedTestsSql(const RunPick& runs) {
    return std::string("SELECT t.run_id, t.test_index, t.mode FROM tests t WHERE t.run_id IN")
        .append(" (SELECT k.run_id")
        .append(kRunsWithKeys)
        .append(" WHERE ")
        .append(runs.where)
        .append(" AND ")
        .append(FailedVerdictSql("r.verdict"))
        .append(") AND (")
        .append(FailedVerdictSql("t.verdict"))
        .append(" OR t.ended_how IS NULL")
        .append(" OR t.ended_how <> 'completed')");
}

// "Test 2 (cycle)", or "Test 2" when its kind was not stored.
std::string TestName(const SqlRow& row) {
    const std::string mode = CellText(row[2]);
    return TestWords(static_cast<int>(CellInteger(row[1])) + 1) +
           (mode.empty() ? "" : " (" + mode + ")");
}

Result<ReasonsByRun> FailedTests(SqlConnection& connection, const RunPick& runs) {
    ReasonsByRun tests;
    const Result<void> read = connection.RunRowByRow(
        FailedTestsSql(runs), runs.params,
        [&](const SqlRow& row) { tests[CellInteger(row[0])][TestName(row)] = std::nullopt; });
    if (!read) {
        return Fail(read.Error());
    }
    return tests;
}

// What each failed run counts under, by run key, read before the runs.
Result<ReasonsByRun> ReasonsOfRuns(SqlConnection& connection, ParetoGrouping by,
                                   const RunPick& runs) {
    if (by == ParetoGrouping::Reason) {
        return FailedMeasurementReasons(connection, runs);
    }
    if (by == ParetoGrouping::Test) {
        return FailedTests(connection, runs);
    }
    return ReasonsByRun{};
}

RunReasons RunCountsUnder(ParetoGrouping by, const SqlRow& run, const ReasonsByRun& found) {
    const auto of = found.find(CellInteger(run[0]));
    const RunReasons none;
    const RunReasons& reasons = of == found.end() ? none : of->second;
    switch (by) {
        case ParetoGrouping::Reason:
            return RunFailureReasons(VerdictKindOfCell(run[1]), run[2], reasons);
        case ParetoGrouping::Test:
            return reasons.empty() ? RunReasons{{kNoFailedTest, std::nullopt}} : reasons;
        case ParetoGrouping::Fixture:
        case ParetoGrouping::Station:
            break;
    }
    return {{CellText(run[3]), std::nullopt}};
}

}  // namespace

const char* ParetoGroupingWord(ParetoGrouping by) {
    for (const auto& [word, grouping] : kGroupings) {
        if (grouping == by) {
            return word;
        }
    }
    return kGroupings[0].first;
}

std::optional<ParetoGrouping> ParetoGroupingFromWord(const std::string& word) {
    for (const auto& [name, grouping] : kGroupings) {
        if (word == name) {
            return grouping;
        }
    }
    return std::nullopt;
}

Result<Pareto> QueryPareto(SqlConnection& connection, ParetoGrouping by, const RunFilter& filter) {
    RunPick runs{"1 = 1", {}};
    runs.where += RunFilterSql(filter, runs.params);
    Pareto pareto;
    const Result<SqlRows> counted = connection.Run(RunCountSql(runs), runs.params);
    if (!counted) {
        return Fail(counted.Error());
    }
    pareto.runs = counted->empty() ? 0 : CellInteger(counted->front()[0]);
    const Result<ReasonsByRun> found = ReasonsOfRuns(connection, by, runs);
    if (!found) {
        return Fail(found.Error());
    }
    ReasonTally tally;
    const Result<void> read =
        connection.RunRowByRow(FailedRunsSql(runs, by), runs.params, [&](const SqlRow& run) {
            ++pareto.failedRuns;
            tally.Add(RunCountsUnder(by, run, *found));
        });
    if (!read) {
        return Fail(read.Error());
    }
    pareto.rows = tally.Ranked();
    return pareto;
}

}  // namespace orvalt
