#include "plot/LabelPlaces.h"

#include <algorithm>

namespace orvalt {

namespace {

bool Inside(const PixelBox& box, const PixelBox& area) {
    return box.top >= area.top && box.Bottom() <= area.Bottom();
}

bool Free(const PixelBox& box, const std::vector<std::optional<PixelBox>>& placed,
          std::span<const PixelBox> taken) {
    return std::none_of(placed.begin(), placed.end(),
                        [&box](const auto& other) { return other && other->Overlaps(box); }) &&
           std::none_of(taken.begin(), taken.end(),
                        [&box](const PixelBox& other) { return other.Overlaps(box); });
}

// Pulled in from the sides, so a label near an edge still shows whole.
PixelBox WithinSides(PixelBox box, const PixelBox& area) {
    box.left = std::max(area.left, std::min(box.left, area.Right() - box.width));
    return box;
}

std::optional<PixelBox> FreePlace(const PixelBox& wanted, const PixelBox& area,
                                  const std::vector<std::optional<PixelBox>>& placed,
                                  std::span<const PixelBox> taken) {
    const PixelBox start = WithinSides(wanted, area);
    for (int shift = 0; shift <= kMaxShifts; ++shift) {
        for (const int direction : {1, -1}) {
            PixelBox box = start;
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

std::vector<std::optional<PixelBox>> PlaceLabels(std::span<const PixelBox> wanted,
                                                 const PixelBox& area,
                                                 std::span<const PixelBox> taken) {
    std::vector<std::optional<PixelBox>> placed;
    placed.reserve(wanted.size());
    for (const PixelBox& box : wanted) {
        placed.push_back(FreePlace(box, area, placed, taken));
    }
    return placed;
}

}  // namespace orvalt
