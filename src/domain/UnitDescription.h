#pragma once
// The unit under test as the operator described it: written into every
// summary line and the test data file.

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

}  // namespace orvalt
