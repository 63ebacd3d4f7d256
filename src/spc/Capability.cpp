#include "spc/Capability.h"

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

// Written as negations so that a value that is not a number lies outside
// every limit it has.
OutsideLimits OutsideOf(std::span<const double> values, std::optional<double> min,
                        std::optional<double> max, Resolution shown) {
    OutsideLimits outside;
    for (const double value : values) {
        const double seen = shown.Shown(value);
        if (min && !(seen >= *min)) {
            ++outside.below;
        } else if (max && !(seen <= *max)) {
            ++outside.above;
        }
    }
    return outside;
}

std::optional<CapabilityIndex> Reported(std::optional<double> index, const OutsideLimits& outside) {
    if (!index) {
        return std::nullopt;
    }
    // Not written as `>`: an index that is not a number says nothing either.
    if (outside.Count() > 0 && !(*index <= kCapabilityCeilingOutside)) {
        return CapabilityIndex{kCapabilityCeilingOutside, true};
    }
    return CapabilityIndex{*index, false};
}

}  // namespace

Capability CapabilityOf(std::span<const double> values, const Spread& spread,
                        std::optional<double> min, std::optional<double> max, Resolution shown) {
    Capability capability;
    capability.outside = OutsideOf(values, min, max, shown);
    const Indices within = IndicesOf(spread.mean, spread.SigmaForWithin(), min, max);
    const Indices overall = IndicesOf(spread.mean, spread.sigmaOverall, min, max);
    capability.cp = Reported(within.whole, capability.outside);
    capability.cpk = Reported(within.centred, capability.outside);
    capability.pp = Reported(overall.whole, capability.outside);
    capability.ppk = Reported(overall.centred, capability.outside);
    return capability;
}

bool IndexLow(const Spread& spread, const std::optional<CapabilityIndex>& index) {
    return spread.n >= kCapabilityUnits && index && !index->capped &&
           index->value < kCapabilityFloor;
}

bool CapabilityFlagged(const Spread& spread, const Capability& capability) {
    return IndexLow(spread, capability.cpk) || IndexLow(spread, capability.ppk) ||
           capability.outside.Count() > 0;
}

}  // namespace orvalt
