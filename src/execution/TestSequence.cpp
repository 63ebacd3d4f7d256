#include "execution/TestSequence.h"

#include "execution/CycleTest.h"
#include "execution/OnOffTest.h"

namespace orvalt {

bool RunTestSequence(RunRecord& run, LJ_HANDLE handle, int row, const TestPlanEntry& entry,
                     TestMeasurements& measured) {
    if (entry.P1 == 0) {
        return RunOnOffTest(run, handle, row, entry, measured);
    }
    return RunCycleTest(run, handle, row, entry, measured);
}

}  // namespace orvalt
