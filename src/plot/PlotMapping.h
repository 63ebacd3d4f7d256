#pragma once
// Plot units (seconds across, volts up) to the pixels of a drawing area whose
// top left corner is (left, top) and whose y grows downwards.

#include "plot/PlotRange.h"

namespace orvalt {

struct PlotArea {
    double left = 0.0;
    double top = 0.0;
    double width = 1.0;
    double height = 1.0;

    double Right() const { return left + width; }
    double Bottom() const { return top + height; }
};

class PlotMapping {
  public:
    PlotMapping(const PlotArea& area, const PlotRange& range) : area_(area), range_(range) {}

    double X(double seconds) const {
        return area_.left + (seconds - range_.xMin) / range_.Width() * area_.width;
    }
    double Y(double volts) const {
        return area_.Bottom() - (volts - range_.yMin) / range_.Height() * area_.height;
    }
    const PlotArea& Area() const { return area_; }
    const PlotRange& Range() const { return range_; }

  private:
    PlotArea area_;
    PlotRange range_;
};

}  // namespace orvalt
