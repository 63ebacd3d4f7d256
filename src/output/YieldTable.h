#pragma once
// The yield rows as the terminal shows them.

#include <string>
#include <vector>

#include "reading/Yield.h"

namespace orvalt {

// A header line and one aligned line per group (tests and units as they were
// counted), a blank line, then a header and one line per group of the units'
// yield: judged units, first-pass and final yield, retests (and per judged
// unit), units still failing, lost runs and their time.
std::string YieldTable(const std::vector<YieldRow>& rows, YieldGrouping by);

}  // namespace orvalt
