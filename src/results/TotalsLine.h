#pragma once
// A line of the cumulative totals file: a summary line whose manufacturer is
// replaced by the one the operator has in the window when saving.

#include <string>
#include <string_view>

namespace orvalt {

// Fields 1 to 3 of `summaryLine` as they are, then `manufacturer` in place of
// field 4 with no blank before it, then the rest of the line unchanged, joined
// by commas. Fields are split at commas outside double quotes; a manufacturer
// holding a comma or a quote is quoted.
std::string FormatTotalsLine(std::string_view manufacturer, std::string_view summaryLine);

}  // namespace orvalt
