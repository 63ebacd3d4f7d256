#pragma once
// One test of the plan, from its first switch to its verdict.

#include "config/TestPlan.h"
#include "execution/RunRecord.h"
#include "domain/TestMeasurements.h"

namespace orvalt {

// Runs the entry in cycle mode (P1 not 0) or as an on/off repetition check
// (P1 = 0), reporting in `row`. A cycle-mode test first replaces run.ttoCycle and
// run.ttoLevel by the decoding of its P5 (an index outside 0..15 keeps them) and
// fills `measured`. True when the test reached a verdict, not cycling included;
// false when it was abandoned by a device failure or a stop request, with no
// verdict line posted.
bool RunTestSequence(RunRecord& run, LJ_HANDLE handle, int row, const TestPlanEntry& entry,
                     TestMeasurements& measured);

}  // namespace orvalt
