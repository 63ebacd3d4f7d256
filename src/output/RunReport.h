#pragma once
// A recorded run as one self-contained HTML page: no scripts, no links out,
// every plot inline SVG, so it opens anywhere and can be mailed as it is.

#include <string>

#include "reading/RunLoad.h"

namespace orvalt {

std::string RunReportHtml(const LoadedRun& run);

}  // namespace orvalt
