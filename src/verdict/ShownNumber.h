#pragma once
// Numbers as the operator reads them. A verdict compares a measurement as the
// log shows it ("%.2f", or "%d" for counts), never the unrounded double, so a
// value shown as 4.50 against a maximum of 4.50 passes even when the reading
// was 4.5049.

#include <optional>
#include <string>
#include <string_view>

namespace orvalt {

// The text the station shows for `value` with `decimals` decimals.
std::string ShownText(double value, int decimals);

// `value` rounded exactly as ShownText rounds it; NaN stays NaN.
double ShownValue(double value, int decimals);

// A decimal number as a limits file writes it: an optional sign, digits, and
// an optional point with more digits ("4.5", "-0.25", ".5", "12."), at most 12
// digits before the point. Null for anything else.
struct DecimalText {
    double value = 0.0;
    int decimals = 0;  // digits after the point, trailing zeros not counted
};
std::optional<DecimalText> ParseDecimal(std::string_view text);

}  // namespace orvalt
