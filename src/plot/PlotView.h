#pragma once
// The part of the plot on screen. While it follows, it is the whole data
// range, so the axes scale themselves as readings come; a zoom or a pan (after
// a run) fixes it until the operator asks to follow again.

#include <optional>

#include "plot/PlotRange.h"

namespace orvalt {

class PlotView {
  public:
    bool Following() const { return !fixed_; }
    void Follow() { fixed_.reset(); }

    PlotRange Visible(const PlotRange& data) const { return fixed_ ? *fixed_ : data; }

    // Scales the visible range by `factor` (below 1 zooms in) about the point
    // at (`atX`, `atY`), given as fractions 0..1 of the visible width and height
    // from its lower left corner; that point stays where it is.
    void ZoomAt(const PlotRange& data, double factor, double atX, double atY);
    // Moves the visible range by fractions of its width and height.
    void PanBy(const PlotRange& data, double dx, double dy);

  private:
    std::optional<PlotRange> fixed_;
};

}  // namespace orvalt
