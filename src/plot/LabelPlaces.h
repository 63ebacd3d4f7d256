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

// One place per wanted label, in the same order; nothing where it was left out.
// No label lands on a box of `taken` (the marks the labels name).
std::vector<std::optional<PixelBox>> PlaceLabels(std::span<const PixelBox> wanted,
                                                 const PixelBox& area,
                                                 std::span<const PixelBox> taken = {});

}  // namespace orvalt
