#include "domain/LevelStatistics.h"

#include <algorithm>

namespace orvalt {

LevelStatistics StatisticsOf(const std::array<double, 4>& values, int cycles) {
    LevelStatistics statistics;
    double sum = 0.0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        statistics.maximum = std::max(statistics.maximum, values[cycle]);
        statistics.minimum = std::min(statistics.minimum, values[cycle]);
        sum += values[cycle];
    }
    statistics.average = sum / cycles;
    return statistics;
}

}  // namespace orvalt
