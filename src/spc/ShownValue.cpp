#include "spc/ShownValue.h"

#include <array>
#include <cmath>

namespace orvalt {

namespace {

// 10^decimals: a series is rounded once per unit and rule, a million units
// deep, and pow() is most of that time.
double PowerOfTen(int decimals) {
    static constexpr std::array<double, 16> kPowers{1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                    1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (decimals >= 0 && decimals < static_cast<int>(kPowers.size())) {
        return kPowers[static_cast<std::size_t>(decimals)];
    }
    return std::pow(10.0, decimals);
}

}  // namespace

double Resolution::Step() const {
    return 1.0 / PowerOfTen(decimals);
}

double Resolution::Shown(double value) const {
    return Steps(value) / PowerOfTen(decimals);
}

double Resolution::Steps(double value) const {
    return std::round(value * PowerOfTen(decimals));
}

}  // namespace orvalt
