#pragma once
// Today's failure reasons as a Pareto chart: a bar per reason, most runs
// first, and the cumulative share as a line over them, inline SVG.

#include <string>
#include <vector>

#include "lineview/LineView.h"

namespace orvalt {

// The most reasons drawn as bars; the rest are one bar, "other reasons".
inline constexpr std::size_t kParetoBars = 10;

std::string ParetoSvg(const std::vector<FailureReason>& reasons);

}  // namespace orvalt
