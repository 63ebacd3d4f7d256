#include "verdict/MeasurementCatalogue.h"

#include <algorithm>
#include <cctype>

namespace orvalt {

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

std::span<const MeasurementInfo> MeasurementCatalogue() {
    return MeasurementNames();
}

const MeasurementInfo* FindMeasurement(std::string_view name) {
    const auto catalogue = MeasurementCatalogue();
    const auto found = std::find_if(catalogue.begin(), catalogue.end(), [name](const auto& entry) {
        return SameIgnoringCase(entry.name, name);
    });
    return found == catalogue.end() ? nullptr : &*found;
}

}  // namespace orvalt
