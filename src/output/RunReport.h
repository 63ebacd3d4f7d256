#pragma once
// A recorded run as one self-contained HTML page: no scripts, no links out,
// every plot inline SVG, so it opens anywhere and can be mailed as it is.
// Printed, a unit's verdict, what judged it and its traces fill at most two
// A4 sheets (the example plan's five tests), ending with the approval block.

#include <string>

#include "reading/RunLoad.h"

namespace orvalt {

std::string RunReportHtml(const LoadedRun& run);

}  // namespace orvalt
