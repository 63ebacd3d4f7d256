#pragma once
// Maximum, minimum and average of one level over the first N cycles, worked out
// as the test's "TEST n, Vk, max, min, avg" log line has them: the maximum
// starts from -99, the minimum from 99, and the zeros of levels after the
// switch-off take part like any other value.

#include <array>

namespace orvalt {

struct LevelStatistics {
    double maximum = -99.0;
    double minimum = 99.0;
    double average = 0.0;
};

// `cycles` from 1 to 4.
LevelStatistics StatisticsOf(const std::array<double, 4>& values, int cycles);

}  // namespace orvalt
