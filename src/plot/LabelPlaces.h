#pragma once
// Where a plot's labels go so that none prints over another. The rule is
// simple and the same on screen and in the report: labels are placed in the
// order given (the first has the first choice); each goes where it asks, or
// else to the nearest free place straight above or below, one label height at
// a time (below first), at most kMaxShifts heights away and inside the area;
// a label that finds no free place is left out. The same labels always land
// in the same places.

#include <optional>
#include <span>
#include <vector>

#include "plot/PlotMapping.h"

namespace orvalt {

inline constexpr int kMaxShifts = 4;

// A label's box in pixels, y growing downwards.
struct LabelBox {
    double left = 0.0;
    double top = 0.0;
    double width = 0.0;
    double height = 0.0;

    bool Overlaps(const LabelBox& other) const {
        return left < other.left + other.width && other.left < left + width &&
               top < other.top + other.height && other.top < top + height;
    }
};

// One place per wanted label, in the same order; nothing where it was left out.
// No label lands on a box of `taken` (the marks the labels name).
std::vector<std::optional<LabelBox>> PlaceLabels(std::span<const LabelBox> wanted,
                                                 const PlotArea& area,
                                                 std::span<const LabelBox> taken = {});

}  // namespace orvalt
