#pragma once
// A U3 is named by its serial number, a 32-bit number written in decimal. The
// U3SerialNumber setting holds it as text, so that empty can mean "the first
// U3 found".

#include <cstdint>
#include <string_view>

namespace orvalt {

// True when `wanted` (blanks around it ignored) is `serialNumber` in decimal.
bool SerialNumberMatches(std::string_view wanted, std::uint32_t serialNumber);

// True when `text` asks for no particular U3: empty or only blanks.
bool AsksForAnyU3(std::string_view text);

}  // namespace orvalt
