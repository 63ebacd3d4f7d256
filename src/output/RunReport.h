#pragma once
// A recorded run as one self-contained HTML page: no scripts, no links out,
// every plot inline SVG, so it opens anywhere and can be mailed as it is.
// Printed, a unit's verdict, what judged it and its traces fill at most two
// A4 sheets (the example plan's five tests), ending with the approval block.

#include <optional>
#include <string>

#include "reading/RunLoad.h"

namespace orvalt {

// What a report's traces are compared with: a passed unit of the same model,
// drawn in grey beneath each test's trace, or why none is.
struct TraceReference {
    std::optional<LoadedRun> run;
    std::string missing;  // said when no run is drawn; empty: none was asked for
};

std::string RunReportHtml(const LoadedRun& run, const TraceReference& reference = {});

}  // namespace orvalt
