#pragma once
// Plot units (seconds across, volts up) to the pixels of a drawing area whose
// top left corner is (left, top) and whose y grows downwards.

#include "plot/PlotRange.h"

namespace orvalt {

// A rectangle in pixels, y growing downwards: the drawing area, or the box a
// label takes in it.
struct PixelBox {
    double left = 0.0;
    double top = 0.0;
    double width = 0.0;
    double height = 0.0;

    double Right() const { return left + width; }
    double Bottom() const { return top + height; }
    bool Overlaps(const PixelBox& other) const {
        return left < other.Right() && other.left < Right() && top < other.Bottom() &&
               other.top < Bottom();
    }
};

class PlotMapping {
  public:
    PlotMapping(const PixelBox& area, const PlotRange& range) : area_(area), range_(range) {}

    double X(double seconds) const {
        return area_.left + (seconds - range_.xMin) / range_.Width() * area_.width;
    }
    double Y(double volts) const {
        return area_.Bottom() - (volts - range_.yMin) / range_.Height() * area_.height;
    }
    const PixelBox& Area() const { return area_; }
    const PlotRange& Range() const { return range_; }

  private:
    PixelBox area_;
    PlotRange range_;
};

}  // namespace orvalt
