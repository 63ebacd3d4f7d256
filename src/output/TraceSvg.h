#pragma once
// A test's trace as an inline SVG element, drawn by the same rules as the
// window's plot: round axis ticks, the levels as dashed lines, the power
// switches, the readings cut at their gaps (a lone reading as a dot), the
// crossing marks and labels that never print over each other. Every reading
// is kept: a report is read closely, not redrawn 25 times a second. A
// reference trace, when given, is drawn in grey beneath, as the window draws
// the previous test's, on axes that hold both.

#include <string>

#include "plot/TestTrace.h"

namespace orvalt {

std::string TraceSvg(const TestTrace& trace, const ThresholdLevels& levels,
                     const TestTrace* reference = nullptr);

}  // namespace orvalt
