#pragma once
// A test's crossings as the plot marks them: at the time the measurement
// reported against the switch it was timed from, on the threshold it crossed,
// labelled with the measured time as the log shows it.

#include <cstdint>
#include <string>
#include <vector>

#include "domain/Crossing.h"
#include "plot/TestTrace.h"

namespace orvalt {

// Adds a mark per crossing to `trace`.
void MarkCrossings(TestTrace& trace, const std::vector<Crossing>& crossings,
                   const ThresholdLevels& levels);

// "ON 3.11 s", "OFF A 0.50 s", "OFF B 1.25 s".
std::string MarkLabel(const CrossingMark& mark);

// The colour (0xRRGGBB) of a crossing's mark, its label and the level it
// crosses, the same on screen and in the report.
std::uint32_t MarkColour(Figure figure);

}  // namespace orvalt
