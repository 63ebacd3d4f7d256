#include "plot/LabelPlaces.h"

#include <algorithm>

namespace orvalt {

namespace {

bool Inside(const LabelBox& box, const PlotArea& area) {
    return box.top >= area.top && box.top + box.height <= area.Bottom();
}

bool Free(const LabelBox& box, const std::vector<std::optional<LabelBox>>& placed,
          std::span<const LabelBox> taken) {
    return std::none_of(placed.begin(), placed.end(),
                        [&box](const auto& other) { return other && other->Overlaps(box); }) &&
           std::none_of(taken.begin(), taken.end(),
                        [&box](const LabelBox& other) { return other.Overlaps(box); });
}

// Pulled in from the sides, so a label near an edge still shows whole.
LabelBox WithinSides(LabelBox box, const PlotArea& area) {
    box.left = std::max(area.left, std::min(box.left, area.Right() - box.width));
    return box;
}

std::optional<LabelBox> FreePlace(const LabelBox& wanted, const PlotArea& area,
                                  const std::vector<std::optional<LabelBox>>& placed,
                                  std::span<const LabelBox> taken) {
    const LabelBox start = WithinSides(wanted, area);
    for (int shift = 0; shift <= kMaxShifts; ++shift) {
        for (const int direction : {1, -1}) {
            LabelBox box = start;
            box.top += direction * shift * wanted.height;
            if (Inside(box, area) && Free(box, placed, taken)) {
                return box;
            }
            if (shift == 0) {
                break;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<std::optional<LabelBox>> PlaceLabels(std::span<const LabelBox> wanted,
                                                 const PlotArea& area,
                                                 std::span<const LabelBox> taken) {
    std::vector<std::optional<LabelBox>> placed;
    placed.reserve(wanted.size());
    for (const LabelBox& box : wanted) {
        placed.push_back(FreePlace(box, area, placed, taken));
    }
    return placed;
}

}  // namespace orvalt
