#include "drift/Spread.h"

#include <cmath>

namespace orvalt {

namespace {

double AverageMovingRange(std::span<const double> values) {
    double sum = 0.0;
    for (std::size_t i = 1; i < values.size(); ++i) {
        sum += std::fabs(values[i] - values[i - 1]);
    }
    return sum / static_cast<double>(values.size() - 1);
}

}  // namespace

Spread SpreadOf(std::span<const double> values) {
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
    return spread;
}

}  // namespace orvalt
