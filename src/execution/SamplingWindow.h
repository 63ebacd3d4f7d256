#pragma once
// The shape both switching measurements share: switch the unit's power, then
// sample its light level at a fixed period for a whole window, the first reading
// at once. The window is always sampled to its end, so every reading appears in
// row 0 whatever the thresholds do.

#include <cstdint>
#include <functional>
#include <optional>

#include "domain/TestMeasurements.h"
#include "execution/RunRecord.h"

namespace orvalt {

// The switching measurements report in the first row of the test list,
// whatever the row of the test that runs them.
constexpr int kMeasureRow = 0;

// One reading of the window, with the tick count taken right after it.
struct Sample {
    double volts = 0.0;
    std::uint32_t tick = 0;
};

// Switches the power to `state`, then takes `count` readings `periodMs` apart,
// handing each to `onSample`. Every message goes to row 0. Returns the tick of
// the switch, or nothing when the switch or a reading failed or a stop was
// requested (the window is then abandoned where it stood).
std::optional<std::uint32_t> SwitchAndSample(const RunRecord& run, LJ_HANDLE handle,
                                             std::int32_t state, std::int64_t count,
                                             std::int32_t periodMs,
                                             const std::function<void(const Sample&)>& onSample);

// The first sample past a threshold, for Time to ON (rising: at or above it)
// and Time to OFF (falling: strictly below it).
struct ThresholdWatch {
    enum Direction { Rising, Falling };

    double threshold = 0.0;
    Direction direction = Falling;
    std::optional<std::uint32_t> crossedTick;

    // True once the threshold has been crossed, by this sample or before.
    bool Take(const Sample& sample) {
        const bool past =
            direction == Rising ? sample.volts >= threshold : sample.volts < threshold;
        if (!crossedTick && past) {
            crossedTick = sample.tick;
        }
        return crossedTick.has_value();
    }
    // Seconds from `start` to the crossing, or kTimeNotReached.
    double SecondsFrom(std::uint32_t start) const {
        return crossedTick ? TicksToSeconds(start, *crossedTick) : kTimeNotReached;
    }
};

// Adds one formatted reading to a comma-separated reading list.
void AppendListed(std::string& list, double volts);

}  // namespace orvalt
