#pragma once
// The plain switching check: the unit is switched off and on a number of times
// and each on-voltage must lie within a window.

#include "config/TestPlan.h"
#include "domain/TestMeasurements.h"
#include "execution/RunRecord.h"

namespace orvalt {

// P6 / 1000 repetitions of OFF for P2 ms, ON for P3 ms, one reading, which
// passes within P4 / 1000 .. P5 / 1000 volts (bounds included). Logs "Pass, " or
// "Fail, " with the readings and leaves the unit on. False when a switch or a
// reading failed or a stop was requested. Counts the repetitions read outside
// the window in `measured`.
bool RunOnOffTest(const RunRecord& run, LJ_HANDLE handle, int row, const TestPlanEntry& entry,
                  TestMeasurements& measured);

}  // namespace orvalt
