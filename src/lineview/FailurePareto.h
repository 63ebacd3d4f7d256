#pragma once
// Why units failed since a moment, by how many runs each reason failed.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/Result.h"
#include "domain/TestVerdict.h"
#include "lineview/LineParts.h"
#include "reading/RunPick.h"
#include "records/SqlConnection.h"

namespace orvalt {

// Over the runs started since `since` (the records' form) whose unit
// verdict is FAIL or ERROR. A FAIL counts each measurement that failed its
// limit as "<name> above the maximum" or "<name> below the minimum", once per
// run however many of its tests failed it; an ERROR counts as "ERROR: " and
// how the run ended (stopped, abandoned), or "not completed" for a run that
// completed with a test in error. Most runs first, then by reason.
Result<std::vector<FailureReason>> LoadFailurePareto(SqlConnection& connection,
                                                     const std::string& since);

// The failed measurements' reasons of the picked runs whose verdict is FAIL,
// by run key.
using ReasonsByRun = std::map<std::int64_t, std::set<std::string>>;
Result<ReasonsByRun> FailedMeasurementReasons(SqlConnection& connection, const RunPick& runs);

// What one run counts in the Pareto, from its unit verdict, how it ended and
// the reasons its failed measurements gave (none when it did not fail).
std::set<std::string> RunFailureReasons(std::optional<VerdictKind> verdict, const SqlCell& endedHow,
                                        const std::set<std::string>& measured);

// Each reason with the runs that gave it, most runs first, then by reason.
std::vector<FailureReason> RankedReasons(const std::map<std::string, std::int64_t>& runsOf);

}  // namespace orvalt
