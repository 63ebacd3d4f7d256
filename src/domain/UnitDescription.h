#pragma once
// The unit under test as the operator described it: written into every
// summary line and the test data file.

#include <array>
#include <string>

namespace orvalt {

struct UnitDescription {
    std::string manufacturer;
    std::string model;
    std::string type;
    std::string power;
    std::string fixtureSize;
    std::string driverManufacturer;
    std::string driverModel;
};

// The seven texts in the order the result lines show them.
inline std::array<const std::string*, 7> DescriptionTexts(const UnitDescription& unit) {
    return {&unit.manufacturer,       &unit.model,      &unit.type, &unit.power, &unit.fixtureSize,
            &unit.driverManufacturer, &unit.driverModel};
}

}  // namespace orvalt
