#pragma once
// The session's events as a plot takes them: runs, tests, switches and
// readings timed since the test's first power switch, and a completed test's
// crossings, each with the switch it was timed from.

#include <variant>
#include <vector>

#include "domain/Crossing.h"

namespace orvalt {

namespace plotfeed {
struct RunStart {};
struct RunEnd {};
struct TestBegin {
    int testNumber = 0;
};
struct Switch {
    double seconds = 0.0;
    bool on = false;
};
struct Reading {
    double seconds = 0.0;
    double volts = 0.0;
};
// The crossings a completed test measured, each with its switch.
struct Crossings {
    std::vector<Crossing> crossings;
};
}  // namespace plotfeed

using PlotEvent = std::variant<plotfeed::RunStart, plotfeed::RunEnd, plotfeed::TestBegin,
                               plotfeed::Switch, plotfeed::Reading, plotfeed::Crossings>;

}  // namespace orvalt
