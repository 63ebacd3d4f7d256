#include "spc/Spread.h"

#include <cmath>
#include <cstdint>
#include <numeric>

namespace orvalt {

namespace {

double AverageMovingRange(std::span<const double> values) {
    double sum = 0.0;
    for (std::size_t i = 1; i < values.size(); ++i) {
        sum += std::fabs(values[i] - values[i - 1]);
    }
    return sum / static_cast<double>(values.size() - 1);
}

std::size_t FlatRanges(std::span<const double> values, Resolution shown) {
    std::size_t flat = 0;
    for (std::size_t i = 1; i < values.size(); ++i) {
        flat += shown.Steps(values[i]) == shown.Steps(values[i - 1]) ? 1 : 0;
    }
    return flat;
}

// The greatest common divisor of every value's distance from the first, in
// steps of the shown digit; values too large to count in steps (or not
// numbers) leave it at one step.
double CommonStep(std::span<const double> values, Resolution shown) {
    constexpr double kCountable = 9.0e15;  // below 2^53: whole steps are exact
    const double first = shown.Steps(values.front());
    if (!(std::fabs(first) < kCountable)) {
        return shown.Step();
    }
    std::uint64_t common = 0;
    for (const double value : values) {
        const double apart = std::fabs(shown.Steps(value) - first);
        if (!(apart < kCountable)) {
            return shown.Step();
        }
        common = std::gcd(common, static_cast<std::uint64_t>(apart));
        if (common == 1) {
            break;
        }
    }
    return static_cast<double>(common) * shown.Step();
}

}  // namespace

bool Spread::WithinTooCoarse() const {
    return n >= 2 && flatRanges * 2 > n - 1;
}

double Spread::SigmaForWithin() const {
    return WithinTooCoarse() ? sigmaOverall : sigmaWithin;
}

Spread SpreadOf(std::span<const double> values, Resolution shown) {
    Spread spread;
    spread.n = values.size();
    if (values.empty()) {
        return spread;
    }
    // Welford's running form: a million values near 1e3 keep their digits.
    double mean = 0.0;
    double squares = 0.0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double delta = values[i] - mean;
        mean += delta / static_cast<double>(i + 1);
        squares += delta * (values[i] - mean);
    }
    spread.mean = mean;
    if (values.size() >= 2) {
        spread.sigmaOverall = std::sqrt(squares / static_cast<double>(values.size() - 1));
        spread.sigmaWithin = AverageMovingRange(values) / kMovingRangeD2;
    }
    spread.flatRanges = FlatRanges(values, shown);
    spread.step = CommonStep(values, shown);
    return spread;
}

}  // namespace orvalt
