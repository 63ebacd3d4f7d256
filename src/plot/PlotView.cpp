#include "plot/PlotView.h"

#include <algorithm>

namespace orvalt {

namespace {

// However far the operator zooms, a span stays drawable.
constexpr double kSmallestSpan = 1e-3;
constexpr double kLargestSpan = 1e7;

void ScaleSpan(double& low, double& high, double factor, double at) {
    const double span = std::clamp((high - low) * factor, kSmallestSpan, kLargestSpan);
    const double pivot = low + (high - low) * at;
    low = pivot - span * at;
    high = low + span;
}

}  // namespace

void PlotView::ZoomAt(const PlotRange& data, double factor, double atX, double atY) {
    PlotRange range = Visible(data);
    ScaleSpan(range.xMin, range.xMax, factor, std::clamp(atX, 0.0, 1.0));
    ScaleSpan(range.yMin, range.yMax, factor, std::clamp(atY, 0.0, 1.0));
    fixed_ = range;
}

void PlotView::PanBy(const PlotRange& data, double dx, double dy) {
    PlotRange range = Visible(data);
    const double shiftX = range.Width() * dx;
    const double shiftY = range.Height() * dy;
    fixed_ = PlotRange{range.xMin + shiftX, range.xMax + shiftX, range.yMin + shiftY,
                       range.yMax + shiftY};
}

}  // namespace orvalt
