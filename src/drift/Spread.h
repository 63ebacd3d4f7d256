#pragma once
// How a series of individual values spreads: its mean and the two sigmas
// capability is read against. Sigma within comes from the average moving
// range of neighbouring values (what the process does from unit to unit),
// sigma overall is the sample standard deviation (what it did over the whole
// window, drift included).

#include <cstddef>
#include <span>

namespace orvalt {

// d2 for moving ranges of two: the average range of two normal values is
// 1.128 sigma.
inline constexpr double kMovingRangeD2 = 1.128;

struct Spread {
    std::size_t n = 0;
    double mean = 0.0;
    double sigmaWithin = 0.0;   // 0 with fewer than two values
    double sigmaOverall = 0.0;  // 0 with fewer than two values
};

Spread SpreadOf(std::span<const double> values);

}  // namespace orvalt
