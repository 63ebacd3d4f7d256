#pragma once
// How a series of individual values spreads: its mean and the two sigmas
// capability is read against. Sigma within comes from the average moving
// range of neighbouring values (what the process does from unit to unit),
// sigma overall is the sample standard deviation (what it did over the whole
// window, drift included). Where most neighbours show the same value, the
// moving ranges measure the gauge's resolution rather than the process, and
// sigma within is too coarse to read capability against.

#include <cstddef>
#include <span>

#include "spc/ShownValue.h"

namespace orvalt {

// d2 for moving ranges of two: the average range of two normal values is
// 1.128 sigma.
inline constexpr double kMovingRangeD2 = 1.128;

struct Spread {
    std::size_t n = 0;
    double mean = 0.0;
    double sigmaWithin = 0.0;   // 0 with fewer than two values
    double sigmaOverall = 0.0;  // 0 with fewer than two values
    // Neighbouring units that show the same value, of the n - 1 pairs.
    std::size_t flatRanges = 0;
    // The finest step the shown values lie apart by: 0.25 for 0.50, 0.75 and
    // 1.25; 0 when no two differ.
    double step = 0.0;

    // More than half of the moving ranges are zero.
    bool WithinTooCoarse() const;
    // What Cp and Cpk are read against: sigma within, or sigma overall where
    // sigma within is too coarse.
    double SigmaForWithin() const;
};

// `shown`: the digits the station shows the values with.
Spread SpreadOf(std::span<const double> values, Resolution shown);

}  // namespace orvalt
