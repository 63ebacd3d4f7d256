#pragma once
// A recorded test's trace as the plot shows it, built from the stored rows
// the way the live plot is built from the events: its readings, its power
// switches and the crossings its record keeps with their switches.

#include "plot/TestTrace.h"
#include "reading/RunLoad.h"

namespace orvalt {

TestTrace StoredTrace(const LoadedTest& test, const ThresholdLevels& levels);

// The VoltageOn, VoltageOffA and VoltageOffB the run was started with.
ThresholdLevels StoredLevels(const LoadedRun& run);

}  // namespace orvalt
