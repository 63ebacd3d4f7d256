#include "plot/AxisTicks.h"

#include <algorithm>
#include <cmath>

namespace orvalt {

namespace {

double RoundStep(double rough) {
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double multiple : {1.0, 2.0, 5.0}) {
        if (multiple * power >= rough) {
            return multiple * power;
        }
    }
    return 10.0 * power;
}

}  // namespace

std::vector<double> AxisTicks(double low, double high, int maxTicks) {
    std::vector<double> ticks;
    const double span = high - low;
    if (!std::isfinite(span) || span <= 0.0) {
        return ticks;
    }
    const int slots = std::max(maxTicks, 2) - 1;
    const double step = RoundStep(span / slots);
    const double first = std::ceil(low / step);
    const double last = std::floor(high / step);
    for (double i = first; i <= last; ++i) {
        ticks.push_back(i * step == 0.0 ? 0.0 : i * step);
    }
    return ticks;
}

int TickDecimals(const std::vector<double>& ticks) {
    if (ticks.size() < 2) {
        return 0;
    }
    const double step = ticks[1] - ticks[0];
    return std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 6);
}

}  // namespace orvalt
