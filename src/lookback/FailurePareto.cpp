#include "lookback/FailurePareto.h"

#include <algorithm>
#include <map>
#include <set>

#include "verdict/ShownNumber.h"

namespace orvalt {

namespace {

constexpr const char* kErrorRunsSql =
    "SELECT r.ended_how FROM runs r WHERE r.started_at >= $1 AND r.verdict = 'ERROR'";

// The failed runs are found by their start, then their measurements by run:
// joined the other way round, SQLite read every measurement of the
// database for the few that failed today.
constexpr const char* kFailedMeasurementsSql =
    "SELECT t.run_id, m.name, m.value, m.min_value, m.max_value, m.decimals FROM tests t"
    " JOIN measurements m ON m.run_id = t.run_id AND m.test_index = t.test_index"
    " WHERE t.run_id IN (SELECT k.run_id FROM runs r JOIN run_keys k ON k.run_uuid = r.run_uuid"
    " WHERE r.started_at >= $1 AND r.verdict = 'FAIL')"
    " AND t.verdict = 'FAIL' AND m.outcome = 'FAIL'";

// A failed run whose measurements name no broken bound (recorded before
// measurements kept their outcomes) still counts.
constexpr const char* kFailedRunsSql =
    "SELECT k.run_id FROM runs r JOIN run_keys k ON k.run_uuid = r.run_uuid"
    " WHERE r.started_at >= $1 AND r.verdict = 'FAIL'";

constexpr const char* kFailWithoutMeasurement = "FAIL without a failed measurement recorded";

std::string ErrorReason(const SqlCell& endedHow) {
    const std::string how = CellText(endedHow);
    return "ERROR: " + (how == "stopped" || how == "abandoned" ? how : "not completed");
}

std::vector<FailureReason> Ranked(const std::map<std::string, std::int64_t>& counts) {
    std::vector<FailureReason> reasons;
    for (const auto& [reason, runs] : counts) {
        reasons.push_back({reason, runs});
    }
    std::stable_sort(
        reasons.begin(), reasons.end(),
        [](const FailureReason& a, const FailureReason& b) { return a.runs > b.runs; });
    return reasons;
}

// Which bound a failed measurement broke, as shown with its decimals.
std::string FailedMeasurementReason(const std::string& name, double value, const SqlCell& minValue,
                                    const SqlCell& maxValue, int decimals) {
    const double shown = ShownValue(value, decimals);
    if (maxValue && shown > CellNumber(maxValue)) {
        return name + " above the maximum";
    }
    if (minValue && shown < CellNumber(minValue)) {
        return name + " below the minimum";
    }
    return name + " outside its limits";
}

}  // namespace

Result<std::vector<FailureReason>> LoadFailurePareto(SqlConnection& connection,
                                                     const std::string& since) {
    std::map<std::string, std::int64_t> counts;
    const Result<void> errors = connection.RunRowByRow(
        kErrorRunsSql, {since}, [&counts](SqlRow row) { ++counts[ErrorReason(row[0])]; });
    if (!errors) {
        return Fail(errors.Error());
    }
    std::set<std::pair<std::int64_t, std::string>> runReasons;  // each once per run
    std::set<std::int64_t> explained;
    const Result<void> failed =
        connection.RunRowByRow(kFailedMeasurementsSql, {since}, [&](SqlRow row) {
            const std::int64_t run = CellInteger(row[0]);
            const int decimals = row[5] ? static_cast<int>(CellInteger(row[5])) : 2;
            runReasons.emplace(run, FailedMeasurementReason(CellText(row[1]), CellNumber(row[2]),
                                                            row[3], row[4], decimals));
            explained.insert(run);
        });
    if (!failed) {
        return Fail(failed.Error());
    }
    for (const auto& [run, reason] : runReasons) {
        ++counts[reason];
    }
    const Result<void> unexplained =
        connection.RunRowByRow(kFailedRunsSql, {since}, [&](SqlRow row) {
            if (explained.count(CellInteger(row[0])) == 0) {
                ++counts[kFailWithoutMeasurement];
            }
        });
    if (!unexplained) {
        return Fail(unexplained.Error());
    }
    return Ranked(counts);
}

}  // namespace orvalt
