#pragma once
// A test's trace as an inline SVG plot: volts over seconds since the test's
// first power switch, the power switches as vertical lines, the threshold
// voltages as horizontal lines and the Time to ON/OFF crossings as marks.

#include <optional>
#include <string>
#include <vector>

#include "records/RecordValues.h"

namespace orvalt {

struct PlotThreshold {
    std::string label;
    double volts = 0.0;
};

struct PlotCrossing {
    std::string label;
    double seconds = 0.0;
    double volts = 0.0;
};

struct TracePlotInput {
    std::vector<Reading> readings;
    std::vector<LineSwitch> switches;
    std::vector<PlotThreshold> thresholds;
    std::vector<PlotCrossing> crossings;
};

// The SVG element; its trace is one polyline with one point per reading.
std::string TracePlotSvg(const TracePlotInput& input);

// Where the crossings lie: Time to ON after the test's first switch-on, the
// Time to OFF figures after its last switch-off.
std::vector<PlotCrossing> CrossingsOf(const std::vector<LineSwitch>& switches,
                                      const std::vector<NamedMeasurement>& measurements,
                                      const std::vector<PlotThreshold>& thresholds);

// Text safe inside HTML and SVG elements and attributes.
std::string HtmlEscaped(const std::string& text);

}  // namespace orvalt
