#pragma once
// How many tests a recorded run's plan holds, read from the plan text the run
// keeps, the way the station reads a plan file.

#include <cstdint>
#include <string>

#include "records/SqlConnection.h"

namespace orvalt {

// The test rows of the plan of run `runUuid`, whose plan digest is
// `planSha256`; 0 when its plan does not read. A digest names its text, so
// each plan is read once for the life of the process and only its count
// kept; a run without a digest is read each time.
Result<std::int64_t> PlanRowsOf(SqlConnection& connection, const std::string& runUuid,
                                const std::string& planSha256);

}  // namespace orvalt
