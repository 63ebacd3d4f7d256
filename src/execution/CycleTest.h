#pragma once
// The cycle test: Time To ON, the set-up pulse pattern, then the unit's levels
// followed cycle by cycle up to the Time-to-OFF cut at a chosen cycle and level.

#include "config/TestPlan.h"
#include "execution/RunRecord.h"
#include "domain/TestMeasurements.h"

namespace orvalt {

// Runs one cycle-mode entry (P1..P4 the set-up pulses, P5 the Time-to-OFF
// option) and fills `measured`. Overwrites run.ttoCycle and run.ttoLevel from P5.
// True with a verdict (not cycling included), false when abandoned.
bool RunCycleTest(RunRecord& run, LJ_HANDLE handle, int row, const TestPlanEntry& entry,
                  TestMeasurements& measured);

}  // namespace orvalt
