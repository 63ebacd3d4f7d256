#include "lineview/FailurePareto.h"

#include <algorithm>

#include "domain/VerdictWord.h"
#include "reading/RunLoad.h"
#include "verdict/ShownNumber.h"

namespace orvalt {

namespace {

constexpr const char* kRunsWithKeys = " FROM runs r JOIN run_keys k ON k.run_uuid = r.run_uuid";

// A stored word as the statement holds it: 'FAIL'.
std::string Literal(const char* word) {
    return std::string("'").append(word).append("'");
}

// The failed runs are found first, then their measurements by run: joined
// the other way round, SQLite read every measurement of the database for the
// few that failed today.
std::string FailedMeasurementsSql(const RunPick& runs) {
    return std::string(
               "SELECT t.run_id, m.name, m.value, m.min_value, m.max_value, m.decimals FROM tests t"
               " JOIN measurements m ON m.run_id = t.run_id AND m.test_index = t.test_index"
               " WHERE t.run_id IN (SELECT k.run_id")
        .append(kRunsWithKeys)
        .append(" WHERE ")
        .append(runs.where)
        .append(" AND r.verdict = ")
        .append(Literal(VerdictKindWord(VerdictKind::Fail)))
        .append(") AND t.verdict = ")
        .append(Literal(VerdictKindWord(VerdictKind::Fail)))
        .append(" AND m.outcome = ")
        .append(Literal(MeasurementOutcomeWord(MeasurementOutcome::Fail)));
}

std::string JudgedFailedRunsSql(const RunPick& runs) {
    return std::string("SELECT k.run_id, r.verdict, r.ended_how")
        .append(kRunsWithKeys)
        .append(" WHERE ")
        .append(runs.where)
        .append(" AND r.verdict IN (")
        .append(Literal(VerdictKindWord(VerdictKind::Fail)))
        .append(", ")
        .append(Literal(VerdictKindWord(VerdictKind::Error)))
        .append(")");
}

// A failed run whose measurements name no broken bound (recorded before
// measurements kept their outcomes) still counts.
constexpr const char* kFailWithoutMeasurement = "FAIL without a failed measurement recorded";

std::string ErrorReason(const SqlCell& endedHow) {
    const std::string how = CellText(endedHow);
    return "ERROR: " + (how == "stopped" || how == "abandoned" ? how : "not completed");
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

Result<ReasonsByRun> FailedMeasurementReasons(SqlConnection& connection, const RunPick& runs) {
    ReasonsByRun reasons;
    const Result<void> read =
        connection.RunRowByRow(FailedMeasurementsSql(runs), runs.params, [&](SqlRow row) {
            const int decimals = row[5] ? static_cast<int>(CellInteger(row[5])) : 2;
            reasons[CellInteger(row[0])].insert(FailedMeasurementReason(
                CellText(row[1]), CellNumber(row[2]), row[3], row[4], decimals));
        });
    if (!read) {
        return Fail(read.Error());
    }
    return reasons;
}

std::set<std::string> RunFailureReasons(std::optional<VerdictKind> verdict, const SqlCell& endedHow,
                                        const std::set<std::string>& measured) {
    if (verdict == VerdictKind::Error) {
        return {ErrorReason(endedHow)};
    }
    if (verdict != VerdictKind::Fail) {
        return {};
    }
    return measured.empty() ? std::set<std::string>{kFailWithoutMeasurement} : measured;
}

std::vector<FailureReason> RankedReasons(const std::map<std::string, std::int64_t>& runsOf) {
    std::vector<FailureReason> reasons;
    for (const auto& [reason, runs] : runsOf) {
        reasons.push_back({reason, runs});
    }
    std::stable_sort(
        reasons.begin(), reasons.end(),
        [](const FailureReason& a, const FailureReason& b) { return a.runs > b.runs; });
    return reasons;
}

Result<std::vector<FailureReason>> LoadFailurePareto(SqlConnection& connection,
                                                     const std::string& since) {
    const RunPick today = RunsStartedSince(since);
    const Result<ReasonsByRun> measured = FailedMeasurementReasons(connection, today);
    if (!measured) {
        return Fail(measured.Error());
    }
    std::map<std::string, std::int64_t> runsOf;
    const std::set<std::string> none;
    const Result<void> read =
        connection.RunRowByRow(JudgedFailedRunsSql(today), today.params, [&](SqlRow row) {
            const auto found = measured->find(CellInteger(row[0]));
            for (const std::string& reason :
                 RunFailureReasons(VerdictKindOfCell(row[1]), row[2],
                                   found == measured->end() ? none : found->second)) {
                ++runsOf[reason];
            }
        });
    if (!read) {
        return Fail(read.Error());
    }
    return RankedReasons(runsOf);
}

}  // namespace orvalt
