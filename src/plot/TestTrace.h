#pragma once
// What one test drew: its readings, its power switches and the crossings its
// measurements reported, all in seconds since the test's first power switch.

#include <vector>

namespace orvalt {

struct PlotPoint {
    double seconds = 0.0;
    double volts = 0.0;
};

struct SwitchMark {
    double seconds = 0.0;
    bool on = false;
};

enum class CrossingKind { TimeToOn, TimeToOffA, TimeToOffB };

struct CrossingMark {
    CrossingKind kind = CrossingKind::TimeToOn;
    double seconds = 0.0;   // where on the time axis it lies
    double measured = 0.0;  // the measured time itself, for its label
    double volts = 0.0;     // the threshold it crossed
};

struct TestTrace {
    int testNumber = 0;  // 0: no test yet
    std::vector<PlotPoint> readings;
    std::vector<SwitchMark> switches;
    std::vector<CrossingMark> crossings;
};

}  // namespace orvalt
