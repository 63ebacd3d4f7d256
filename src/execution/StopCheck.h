#pragma once
// The wait every step of a test makes between two device accesses, with the look
// at the run flag that follows it: a stop request abandons the step right there.

#include <cstdint>
#include <string_view>

#include "execution/Primitives.h"
#include "execution/RunRecord.h"

namespace orvalt {

// True while the run may go on after the wait.
inline bool WaitThenGoOn(const RunRecord& run, int row, std::int32_t ms, std::string_view label) {
    TimedWait(run, row, ms, label);
    return RunGoesOn(run);
}

}  // namespace orvalt
