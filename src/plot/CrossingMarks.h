#pragma once
// A test's crossings as the plot marks them: at the time the measurement
// reported against the switch it was timed from, on the threshold it crossed,
// labelled with the measured time as the log shows it.

#include <array>
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

// A threshold the plot draws: the setting it shows, its level, and the
// crossing it belongs to, whose colour it takes.
struct LevelLine {
    Figure figure = Figure::TimeToOn;
    const char* setting = "";
    double volts = 0.0;
};

// VoltageOn, VoltageOffA and VoltageOffB, in that order.
std::array<LevelLine, 3> LevelLines(const ThresholdLevels& levels);

}  // namespace orvalt
