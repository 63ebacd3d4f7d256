#pragma once
// The hand-over of the session's events to the window's light-level plot. The
// worker's thread tells the feed of runs, tests, switches and readings; the
// window's thread takes everything gathered so far at its own pace (25 times
// a second) and replays it into the plot, so a burst of readings costs the
// window one wake-up, not one per reading.

#include <mutex>
#include <variant>
#include <vector>

#include "domain/SessionObserver.h"

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

class PlotFeed final : public SessionObserver {
  public:
    // Everything told since the last call, in order; the window's thread.
    std::vector<PlotEvent> Take();

    void RunStarted(int runNumber) override;
    void RunEnded(int runNumber, RunEnd how) override;
    void TestStarted(const TestStart& test) override;
    void TestEnded(const TestEnd& test) override;
    void VoltageRead(const VoltageReading& reading) override;
    void PowerSwitched(const PowerSwitch& change) override;

  private:
    void Add(PlotEvent event);

    std::mutex mutex_;
    std::vector<PlotEvent> events_;
};

}  // namespace orvalt
