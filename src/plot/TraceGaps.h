#pragma once
// Where a trace has no readings it shows none: two readings more than
// kGapSeconds apart are not joined by a line, so a pause of the sampling
// (the waits between level readings, the off time of an on/off test) is a
// gap, not a ramp the unit never made. 0.5 s is twice the slowest sampling
// period the station keeps (250 ms: Time To OFF, and the wait for the fall
// from level 4), five times Time To ON's 100 ms. A stretch of one reading is
// drawn as a dot.

#include <span>
#include <vector>

#include "plot/TestTrace.h"

namespace orvalt {

inline constexpr double kGapSeconds = 0.5;

// `points` in ascending time, cut at every gap wider than `gapSeconds`; the
// stretches together are `points`, in order.
std::vector<std::span<const PlotPoint>> Stretches(std::span<const PlotPoint> points,
                                                  double gapSeconds = kGapSeconds);

}  // namespace orvalt
