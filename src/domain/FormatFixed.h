#pragma once
// Fixed-point text of a double, as printf's "%.*f" writes it in the "C" locale.
// The station's files are comma-separated: a window toolkit that adopts the
// user's regional settings must never turn 2.51 into "2,51" there.

#include <charconv>
#include <string>

namespace orvalt {

// `decimals` from 0 to 60.
inline std::string FormatFixed(double value, int decimals) {
    // Room for the 309 digits of DBL_MAX, a sign, a point and the decimals.
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return result.ec == std::errc{} ? std::string(buffer, result.ptr) : std::string();
}

}  // namespace orvalt
