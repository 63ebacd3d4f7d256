#include "plot/Decimate.h"

#include <algorithm>
#include <array>

namespace orvalt {

namespace {

// The column a time falls in, clamped to the visible ones.
long ColumnOf(double seconds, double xMin, double xMax, int columns) {
    const double at = (seconds - xMin) / (xMax - xMin) * columns;
    return static_cast<long>(std::clamp(at, 0.0, static_cast<double>(columns - 1)));
}

// Appends the indexes first, lowest, highest, last of [begin, end), each
// once, in time order.
void KeepExtremes(std::span<const PlotPoint> points, std::size_t begin, std::size_t end,
                  std::vector<PlotPoint>& kept) {
    std::size_t low = begin;
    std::size_t high = begin;
    for (std::size_t i = begin; i < end; ++i) {
        low = points[i].volts < points[low].volts ? i : low;
        high = points[i].volts > points[high].volts ? i : high;
    }
    std::array<std::size_t, 4> chosen{begin, low, high, end - 1};
    std::sort(chosen.begin(), chosen.end());
    const auto unique = std::unique(chosen.begin(), chosen.end());
    for (auto it = chosen.begin(); it != unique; ++it) {
        kept.push_back(points[*it]);
    }
}

}  // namespace

std::vector<PlotPoint> DecimateForColumns(std::span<const PlotPoint> points, double xMin,
                                          double xMax, int columns) {
    const auto before =
        std::lower_bound(points.begin(), points.end(), xMin,
                         [](const PlotPoint& point, double x) { return point.seconds < x; });
    const auto after =
        std::upper_bound(points.begin(), points.end(), xMax,
                         [](double x, const PlotPoint& point) { return x < point.seconds; });
    const auto begin = static_cast<std::size_t>(before - points.begin());
    const auto end = static_cast<std::size_t>(after - points.begin());
    std::vector<PlotPoint> kept;
    if (begin > 0) {
        kept.push_back(points[begin - 1]);  // the line enters from the left edge
    }
    for (std::size_t start = begin; start < end;) {
        const long column = ColumnOf(points[start].seconds, xMin, xMax, columns);
        std::size_t stop = start + 1;
        while (stop < end && ColumnOf(points[stop].seconds, xMin, xMax, columns) == column) {
            ++stop;
        }
        KeepExtremes(points, start, stop, kept);
        start = stop;
    }
    if (end < points.size()) {
        kept.push_back(points[end]);  // and leaves through the right edge
    }
    return kept;
}

}  // namespace orvalt
