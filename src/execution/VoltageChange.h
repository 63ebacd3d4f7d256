#pragma once
// Waits, by sampling, for the unit's light level to leave a reference voltage:
// the fall from level 4 back to level 1 that ends a cycle.

#include "execution/RunRecord.h"

namespace orvalt {

// Reads the voltage at once and then every 250 ms, at most 21 times (numbered #4
// to #24 so that they follow the level readings), until it differs from
// `reference` by at least VoltageDeltaForOff in either direction. True when the
// change was seen or the readings ran out (the caller treats both alike); false
// when a reading failed or a stop was requested.
bool ReadUntilVoltageChanges(const RunRecord& run, LJ_HANDLE handle, int row, double reference);

}  // namespace orvalt
