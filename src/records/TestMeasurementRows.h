#pragma once
// A test's measured values as the named rows the records keep: each level's
// maximum, minimum and average over the cycles run, the cycle time, Time To ON,
// both Time To OFF figures of the switch-off level, and the diagnostic figures.

#include <vector>

#include "domain/TestMeasurements.h"
#include "records/RecordValues.h"

namespace orvalt {

// `cycles` is the test's Time-to-OFF cycle N (1..4), `level` its level M. A
// test that did not cycle has no figures but "NotCycling".
std::vector<Measurement> MeasurementRows(const TestMeasurements& measured, int cycles, int level);

}  // namespace orvalt
