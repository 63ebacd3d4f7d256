#pragma once
// What the live light-level plot shows: the running test's readings in volts
// over seconds since its first power switch, the switches, the VoltageOn,
// VoltageOffA and VoltageOffB levels, the Time to ON/OFF crossings once they
// are measured, and the previous test's trace to compare with. Fed on the
// window thread from the station's events, whose times are already counted
// from the test's first power switch; the widget only draws it.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "domain/Crossing.h"
#include "plot/PlotEvents.h"
#include "plot/PlotRange.h"
#include "plot/TestTrace.h"

namespace orvalt {

class LightPlotModel {
  public:
    void SetLevels(const ThresholdLevels& levels);
    // A new run: nothing of the last run is shown.
    void StartRun();
    // The running test's trace moves behind, and a new one begins.
    void BeginTest(int testNumber);

    void AddSwitch(double seconds, bool on);
    void AddReading(double seconds, double volts);
    // The crossings the completed test measured, each placed by its switch.
    void MarkCrossings(const std::vector<Crossing>& crossings);
    // One of the session's events, as the window replays them.
    void Apply(const PlotEvent& event);

    const TestTrace& Current() const { return current_; }
    const TestTrace& Previous() const { return previous_; }
    const ThresholdLevels& Levels() const { return levels_; }
    // Grows with every change, so that a view draws only what is new.
    std::uint64_t Revision() const { return revision_; }

    // Everything there is to see, with a margin: from 0 s and 0 V at least to
    // the last reading, switch or mark and above the highest level.
    PlotRange DataRange() const;

  private:
    ThresholdLevels levels_;
    TestTrace current_;
    TestTrace previous_;
    std::uint64_t revision_ = 0;
};

// The range a view of `traces` and `levels` starts from: DataRange's rule.
PlotRange RangeOf(std::initializer_list<const TestTrace*> traces, const ThresholdLevels& levels);

}  // namespace orvalt
