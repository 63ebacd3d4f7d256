#pragma once
// Time To ON: how long the unit's light level takes to reach the switch-on
// threshold (VoltageOn) after its power is switched on.

#include <cstdint>
#include <optional>

#include "execution/RunRecord.h"

namespace orvalt {

// Switches the unit on and samples its voltage every 100 ms for `seconds` whole
// seconds, all messages in row 0. Logs the readings up to the first one at or
// above VoltageOn ("TTOn: ..."), then "Time To ON seconds, %.2f". A threshold
// not reached within the window gives kTimeNotReached. True when the window ran
// to its end; false when the switch or a reading failed or a stop was requested,
// `timeToOn` then left as it was. `switchTick`, when given, receives the tick
// of the switch-on the time is counted from, so the crossing can be placed.
bool MeasureTimeToOn(const RunRecord& run, LJ_HANDLE handle, int seconds, double& timeToOn,
                     std::optional<std::uint32_t>* switchTick = nullptr);

}  // namespace orvalt
