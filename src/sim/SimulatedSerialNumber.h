#pragma once
// The serial number of a fixture's simulated U3. Fixtures simulated side by
// side must be told apart just as real ones are, by the number their U3
// reports, and a fixture must find the same number on every start.

#include <cstdint>
#include <string_view>

namespace orvalt {

// The number of the simulated U3 of the station without a fixture name.
inline constexpr std::uint32_t kUnnamedSimulatedSerial = 320000001;

// 9 digits starting 32, as real U3 numbers have; from the fixture name alone
// (FNV-1a of its bytes), never kUnnamedSimulatedSerial. Empty: that number.
std::uint32_t SimulatedSerialNumber(std::string_view fixture);

}  // namespace orvalt
