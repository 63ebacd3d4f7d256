#include "reading/StoredTrace.h"

#include <cstdlib>

#include "domain/Crossing.h"
#include "domain/Daq.h"
#include "plot/CrossingMarks.h"

namespace orvalt {

namespace {

double Seconds(std::int64_t ms) {
    return static_cast<double>(ms) / 1000.0;
}

double SettingVolts(const LoadedRun& run, const char* name) {
    const auto value = RunSetting(run, name);
    return value ? std::atof(value->c_str()) : 0.0;
}

}  // namespace

TestTrace StoredTrace(const LoadedTest& test, const ThresholdLevels& levels) {
    TestTrace trace;
    trace.testNumber = test.start.index + 1;
    for (const Reading& reading : test.readings) {
        trace.readings.push_back({Seconds(reading.ms), reading.volts});
    }
    for (const LineSwitch& change : test.switches) {
        if (change.line == kPowerLine) {
            trace.switches.push_back({Seconds(change.ms), change.on});
        }
    }
    MarkCrossings(trace, CrossingsFromRows(FiguresOf(test)), levels);
    return trace;
}

ThresholdLevels StoredLevels(const LoadedRun& run) {
    return {SettingVolts(run, "VoltageOn"), SettingVolts(run, "VoltageOffA"),
            SettingVolts(run, "VoltageOffB")};
}

}  // namespace orvalt
