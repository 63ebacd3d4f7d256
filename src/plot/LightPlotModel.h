#pragma once
// What the live light-level plot shows: the running test's readings in volts
// over seconds since its first power switch, the switches, the VoltageOn,
// VoltageOffA and VoltageOffB levels, the Time to ON/OFF crossings once they
// are measured, and the previous test's trace to compare with. Fed on the
// window thread from the station's events; the widget only draws it.

#include <cstdint>
#include <optional>

#include "plot/PlotRange.h"
#include "plot/TestTrace.h"

namespace orvalt {

struct ThresholdLevels {
    double voltageOn = 0.0;
    double voltageOffA = 0.0;
    double voltageOffB = 0.0;
};

class LightPlotModel {
  public:
    void SetLevels(const ThresholdLevels& levels);
    // A new run: nothing of the last run is shown.
    void StartRun();
    // The running test's trace moves behind, and a new one begins.
    void BeginTest(int testNumber);

    // `tickMs` is the station clock's wrapping millisecond tick.
    void AddSwitch(std::uint32_t tickMs, bool on);
    void AddReading(std::uint32_t tickMs, double volts);
    // Measured times in seconds from the switch they are timed from (the last
    // ON switch for Time to ON, the last OFF switch for Time to OFF). A
    // negative time (a threshold never reached) marks nothing.
    void MarkTimeToOn(double seconds);
    void MarkTimeToOff(double secondsToA, double secondsToB);

    const TestTrace& Current() const { return current_; }
    const TestTrace& Previous() const { return previous_; }
    const ThresholdLevels& Levels() const { return levels_; }
    // Grows with every change, so that a view draws only what is new.
    std::uint64_t Revision() const { return revision_; }

    // Everything there is to see, with a margin: from 0 s and 0 V at least to
    // the last reading, switch or mark and above the highest level.
    PlotRange DataRange() const;

  private:
    double SecondsAt(std::uint32_t tickMs);
    void AddCrossing(CrossingKind kind, std::optional<double> from, double seconds, double volts);

    ThresholdLevels levels_;
    TestTrace current_;
    TestTrace previous_;
    std::optional<std::uint32_t> originTick_;
    std::optional<double> lastOn_;
    std::optional<double> lastOff_;
    std::uint64_t revision_ = 0;
};

}  // namespace orvalt
