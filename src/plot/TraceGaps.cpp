#include "plot/TraceGaps.h"

namespace orvalt {

std::vector<std::span<const PlotPoint>> Stretches(std::span<const PlotPoint> points,
                                                  double gapSeconds) {
    std::vector<std::span<const PlotPoint>> stretches;
    std::size_t begin = 0;
    for (std::size_t i = 1; i <= points.size(); ++i) {
        if (i == points.size() || points[i].seconds - points[i - 1].seconds > gapSeconds) {
            if (i > begin) {
                stretches.push_back(points.subspan(begin, i - begin));
            }
            begin = i;
        }
    }
    return stretches;
}

}  // namespace orvalt
