#pragma once
// The centre line and sigma of an individuals chart, fixed from a baseline of
// units: by default the first units of the model, or a baseline an engineer
// froze. Later units are held against it; a centre taken from the units being
// checked would drift along with them.

#include <cstddef>
#include <optional>
#include <span>

#include "spc/ShownValue.h"

namespace orvalt {

// How many units a baseline takes at least.
inline constexpr std::size_t kBaselineUnits = 25;

struct Baseline {
    double centre = 0.0;
    double sigma = 0.0;  // from the moving range, never below one shown step
    std::size_t units = 0;
};

// The baseline of `values` (shown values of consecutive units); none with
// fewer than kBaselineUnits.
std::optional<Baseline> BaselineOf(std::span<const double> values, Resolution resolution);

}  // namespace orvalt
