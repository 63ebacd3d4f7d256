#pragma once
// Time To OFF: how long the unit's light level takes to fall below VoltageOffA
// and VoltageOffB after its power is cut at a known level, and whether the level
// the driver then reports over the diagnostic link is that level.

#include <cstdint>
#include <optional>

#include "execution/RunRecord.h"

namespace orvalt {

// Cuts the power and samples the voltage every 250 ms for timeToOffSeconds whole
// seconds, all messages in row 0; logs the readings and the two times (a
// threshold not passed within the window gives kTimeNotReached), then judges the
// newest diagnostic record against `level` (1..4). True when the window ran to
// its end and the judgement was made; false when the switch-off or a reading
// failed or a stop was requested, every output then left as it was.
// `switchTick`, when given, receives the tick of the switch-off both times are
// counted from, so the crossings can be placed; `diagReceived`, whether there
// was a diagnostic record to judge.
bool MeasureTimeToOff(const RunRecord& run, LJ_HANDLE handle, int level, double& timeToA,
                      double& timeToB, std::int32_t& delay, std::int32_t& diagValue,
                      std::int32_t& saveNotAsExpected, std::int32_t& priorCount,
                      std::optional<std::uint32_t>* switchTick = nullptr,
                      bool* diagReceived = nullptr);

}  // namespace orvalt
