#pragma once
// Round tick values for an axis: steps of 1, 2 or 5 times a power of ten, as
// many as fit without exceeding the count asked for.

#include <vector>

namespace orvalt {

// The ticks in [low, high], ascending; at most `maxTicks` (at least 2) of them.
// An empty or non-finite range has none.
std::vector<double> AxisTicks(double low, double high, int maxTicks);

// Decimals a tick label needs so that neighbouring ticks read differently.
int TickDecimals(const std::vector<double>& ticks);

}  // namespace orvalt
