#include "drift/Capability.h"

#include <algorithm>

namespace orvalt {

namespace {

struct Indices {
    std::optional<double> whole, centred;
};

// (max - min) / 6 sigma and the distance to the nearer limit / 3 sigma.
Indices IndicesOf(double mean, double sigma, std::optional<double> min, std::optional<double> max) {
    Indices indices;
    if (sigma <= 0.0 || (!min && !max)) {
        return indices;
    }
    if (min && max) {
        indices.whole = (*max - *min) / (6.0 * sigma);
    }
    std::optional<double> nearer;
    if (max) {
        nearer = (*max - mean) / (3.0 * sigma);
    }
    if (min) {
        const double lower = (mean - *min) / (3.0 * sigma);
        nearer = nearer ? std::min(*nearer, lower) : lower;
    }
    indices.centred = nearer;
    return indices;
}

}  // namespace

Capability CapabilityOf(const Spread& spread, std::optional<double> min,
                        std::optional<double> max) {
    const Indices within = IndicesOf(spread.mean, spread.sigmaWithin, min, max);
    const Indices overall = IndicesOf(spread.mean, spread.sigmaOverall, min, max);
    return {within.whole, within.centred, overall.whole, overall.centred};
}

bool CapabilityFlagged(const Spread& spread, const Capability& capability) {
    return spread.n >= kCapabilityUnits && capability.cpk && *capability.cpk < kCapabilityFloor;
}

}  // namespace orvalt
