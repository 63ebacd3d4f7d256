#include "spc/Baseline.h"

#include <algorithm>

#include "spc/Spread.h"

namespace orvalt {

std::optional<Baseline> BaselineOf(std::span<const double> values, Resolution resolution) {
    if (values.size() < kBaselineUnits) {
        return std::nullopt;
    }
    const Spread spread = SpreadOf(values, resolution);
    return Baseline{spread.mean, std::max(spread.sigmaWithin, resolution.Step()), values.size()};
}

}  // namespace orvalt
