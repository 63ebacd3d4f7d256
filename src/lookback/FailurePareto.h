#pragma once
// Why units failed since a moment, by how many runs each reason failed.

#include <string>
#include <vector>

#include "base/Result.h"
#include "lookback/LineParts.h"
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

}  // namespace orvalt
