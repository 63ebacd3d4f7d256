#pragma once
// A production lot for the simulator: one base unit, and how the units of the
// lot differ from it. One figure may drift, a fixed step with every unit (a
// part that ages across a production run), and any figure may scatter from
// unit to unit with normal noise. Unit n of a lot is the same unit on every
// call, whichever units were made before it: its noise is drawn from a
// generator seeded by the lot's seed, n and the figure alone.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/UnitProfile.h"

namespace orvalt {

// The figures of a unit profile that a lot may vary: each moves a recorded
// measurement (the level volts move V1..V4, startMs and onRampMs TimeToOn,
// offTauMs TimeToOffA and TimeToOffB, diagDelay Delay).
enum class LotFigure {
    Level1,
    Level2,
    Level3,
    Level4,
    StartMs,
    LevelMs,
    OnRampMs,
    OffTauMs,
    DiagDelay
};

struct LotDrift {
    LotFigure figure = LotFigure::OffTauMs;
    double perUnit = 0.0;  // in the figure's own unit (volts or ms)
    // Units 1..afterUnit have the base unit's figure; unit n after them has
    // perUnit * (n - afterUnit) added.
    std::int64_t afterUnit = 0;
};

struct LotNoise {
    LotFigure figure = LotFigure::OffTauMs;
    double sigma = 0.0;  // standard deviation, in the figure's own unit
};

struct LotProfile {
    UnitProfile base;
    std::uint32_t seed = 1;
    std::optional<LotDrift> drift;
    std::vector<LotNoise> noise;
};

// The figure a lot profile names `name` ("offTauMs", "level1"), if any.
std::optional<LotFigure> LotFigureNamed(std::string_view name);
// Every figure's name, for a message that lists them.
std::string LotFigureNames();

// The figure as the unit has it (volts or ms).
double FigureOf(const UnitProfile& unit, LotFigure figure);

// Unit `number` of the lot, the first being 1. A figure's millisecond value is
// rounded to the whole millisecond, and every figure is kept within what the
// unit profile allows (volts and delays not below 0, a level and the decay's
// time constant at least 1 ms), however far noise or drift would take it.
UnitProfile UnitOfLot(const LotProfile& lot, std::int64_t number);

}  // namespace orvalt
