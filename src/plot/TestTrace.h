#pragma once
// What one test drew: its readings, its power switches and the crossings its
// measurements reported, all in seconds since the test's first power switch.
// Built alike from the live events and from a stored run's rows.

#include <vector>

#include "domain/MeasurementNames.h"

namespace orvalt {

struct PlotPoint {
    double seconds = 0.0;
    double volts = 0.0;
};

struct SwitchMark {
    double seconds = 0.0;
    bool on = false;
};

struct CrossingMark {
    Figure figure = Figure::TimeToOn;  // TimeToOn, TimeToOffA or TimeToOffB
    double seconds = 0.0;              // where on the time axis it lies
    double measured = 0.0;             // the measured time itself, for its label
    double volts = 0.0;                // the threshold it crossed
    bool operator==(const CrossingMark&) const = default;
};

struct ThresholdLevels {
    double voltageOn = 0.0;
    double voltageOffA = 0.0;
    double voltageOffB = 0.0;
};

struct TestTrace {
    int testNumber = 0;  // 0: no test yet
    std::vector<PlotPoint> readings;
    std::vector<SwitchMark> switches;
    std::vector<CrossingMark> crossings;
};

}  // namespace orvalt
