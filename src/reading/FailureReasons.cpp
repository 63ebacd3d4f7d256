#include "reading/FailureReasons.h"

#include <algorithm>

#include "domain/VerdictWord.h"
#include "reading/RunLoad.h"
#include "verdict/OperatorWords.h"
#include "verdict/ShownNumber.h"

namespace orvalt {

namespace {

// A stored word as the statement holds it: 'FAIL'.
std::string Literal(const char* word) {
    return std::string("'").append(word).append("'");
}

// The failed runs are found first, then their measurements by run: joined
// the other way round, SQLite read every measurement of the database for the
// few that failed today.
std::string FailedMeasurementsSql(const RunPick& runs) {
    return std::string(
               "SELECT t.run_id, t.test_index, m.name, m.value, m.min_value, m.max_value,"
               " m.decimals FROM tests t"
               " JOIN measurements m ON m.run_id = t.run_id AND m.test_index = t.test_index"
               " WHERE t.run_id IN (SELECT k.run_id FROM runs r"
               " JOIN run_keys k ON k.run_uuid = r.run_uuid WHERE ")
        .append(runs.where)
        .append(" AND r.verdict = ")
        .append(Literal(VerdictKindWord(VerdictKind::Fail)))
        .append(") AND t.verdict = ")
        .append(Literal(VerdictKindWord(VerdictKind::Fail)))
        .append(" AND m.outcome = ")
        .append(Literal(MeasurementOutcomeWord(MeasurementOutcome::Fail)));
}

// A failed run whose measurements name no broken bound (recorded before
// measurements kept their outcomes) still counts.
constexpr const char* kFailWithoutMeasurement = "FAIL without a failed measurement recorded";

std::string ErrorReason(const SqlCell& endedHow) {
    const std::string how = CellText(endedHow);
    return "ERROR: " + (how == "stopped" || how == "abandoned" ? how : "not completed");
}

// The columns of FailedMeasurementsSql after the run key.
enum Column { kTestIndex = 1, kName, kValue, kMin, kMax, kDecimals };

// Which bound a failed measurement broke, compared as shown with its decimals,
// and its value; a value within both bounds as shown is outside its limits.
std::pair<std::string, std::optional<WorstValue>> FailedMeasurementReason(const SqlRow& row) {
    const std::string name = CellText(row[kName]);
    const int decimals = row[kDecimals] ? static_cast<int>(CellInteger(row[kDecimals])) : 2;
    const double shown = ShownValue(CellNumber(row[kValue]), decimals);
    const std::string lead =
        TestWords(static_cast<int>(CellInteger(row[kTestIndex])) + 1).append(": ");
    const bool above = row[kMax] && shown > CellNumber(row[kMax]);
    if (!above && !(row[kMin] && shown < CellNumber(row[kMin]))) {
        return {lead + MeasurementWords(name) + " outside its limits", std::nullopt};
    }
    const LimitBreach breach{name, "",
                             ShownText(CellNumber(above ? row[kMax] : row[kMin]), decimals), above};
    return {lead + BoundBrokenWords(breach), WorstValue{shown, decimals, above, UnitWords(name)}};
}

// Keeps in `kept` whichever of the two lies farther past its bound.
void KeepWorse(std::optional<WorstValue>& kept, const std::optional<WorstValue>& seen) {
    if (!seen) {
        return;
    }
    if (!kept || (seen->above ? seen->shown > kept->shown : seen->shown < kept->shown)) {
        kept = seen;
    }
}

}  // namespace

std::string FailedVerdictSql(std::string_view column) {
    return std::string(column)
        .append(" IN (")
        .append(Literal(VerdictKindWord(VerdictKind::Fail)))
        .append(", ")
        .append(Literal(VerdictKindWord(VerdictKind::Error)))
        .append(")");
}

std::string WorstValueText(const WorstValue& worst) {
    return ShownText(worst.shown, worst.decimals) + worst.unit;
}

Result<ReasonsByRun> FailedMeasurementReasons(SqlConnection& connection, const RunPick& runs) {
    ReasonsByRun reasons;
    const Result<void> read =
        connection.RunRowByRow(FailedMeasurementsSql(runs), runs.params, [&](SqlRow row) {
            auto [reason, worst] = FailedMeasurementReason(row);
            KeepWorse(reasons[CellInteger(row[0])][reason], worst);
        });
    if (!read) {
        return Fail(read.Error());
    }
    return reasons;
}

RunReasons RunFailureReasons(std::optional<VerdictKind> verdict, const SqlCell& endedHow,
                             const RunReasons& measured) {
    if (verdict == VerdictKind::Error) {
        return {{ErrorReason(endedHow), std::nullopt}};
    }
    if (verdict != VerdictKind::Fail) {
        return {};
    }
    return measured.empty() ? RunReasons{{kFailWithoutMeasurement, std::nullopt}} : measured;
}

void ReasonTally::Add(const RunReasons& reasons) {
    for (const auto& [reason, worst] : reasons) {
        FailureReason& counted = byReason_[reason];
        counted.reason = reason;
        ++counted.runs;
        KeepWorse(counted.worst, worst);
    }
}

std::vector<FailureReason> ReasonTally::Ranked() const {
    std::vector<FailureReason> reasons;
    for (const auto& [reason, counted] : byReason_) {
        reasons.push_back(counted);
    }
    std::stable_sort(
        reasons.begin(), reasons.end(),
        [](const FailureReason& a, const FailureReason& b) { return a.runs > b.runs; });
    return reasons;
}

}  // namespace orvalt
