#pragma once
// Why failed runs failed, in the operator's words: each failed measurement as
// its test and the bound it broke ("Test 2: Time to OFF (A) above the 1.00 s
// maximum"), an ERROR run by how it ended. The Pareto of the command line and
// the dashboard's line page count the same reasons from this one file.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"
#include "domain/TestVerdict.h"
#include "reading/RunPick.h"
#include "records/SqlConnection.h"

namespace orvalt {

// The value farthest past the bound a reason names, as the station shows it.
struct WorstValue {
    double shown = 0.0;
    int decimals = 2;
    bool above = true;
    std::string unit;  // " V", " s", or empty for a count

    bool operator==(const WorstValue&) const = default;
};

// "1.25 s".
std::string WorstValueText(const WorstValue& worst);

// A run's reasons, each with its worst value when a measurement gave it.
using RunReasons = std::map<std::string, std::optional<WorstValue>>;

// A reason and how many runs it failed, with the worst value of them. A
// Pareto by test, fixture or station names those in `reason` and has no
// worst value.
struct FailureReason {
    std::string reason;
    std::int64_t runs = 0;
    std::optional<WorstValue> worst{};
};

// "r.verdict IN ('FAIL', 'ERROR')" for `column` "r.verdict": the verdicts a
// Pareto counts.
std::string FailedVerdictSql(std::string_view column);

// The failed measurements' reasons of the picked runs whose verdict is FAIL,
// by run key.
using ReasonsByRun = std::map<std::int64_t, RunReasons>;
Result<ReasonsByRun> FailedMeasurementReasons(SqlConnection& connection, const RunPick& runs);

// What one run counts, from its unit verdict, how it ended and the reasons its
// failed measurements gave: those for a FAIL ("FAIL without a failed
// measurement recorded" when there are none), "ERROR: stopped", "ERROR:
// abandoned" or "ERROR: not completed" for an ERROR, none for any other.
RunReasons RunFailureReasons(std::optional<VerdictKind> verdict, const SqlCell& endedHow,
                             const RunReasons& measured);

// Counts each run once under each of its reasons.
class ReasonTally {
  public:
    void Add(const RunReasons& reasons);
    // Most runs first, then by reason.
    std::vector<FailureReason> Ranked() const;

  private:
    std::map<std::string, FailureReason> byReason_;
};

}  // namespace orvalt
