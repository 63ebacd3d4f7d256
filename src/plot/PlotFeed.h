#pragma once
// The hand-over of the session's events to a light-level plot. The
// worker's thread tells the feed of runs, tests, switches and readings; the
// window's thread takes everything gathered so far at its own pace (25 times
// a second) and replays it into the plot, so a burst of readings costs the
// window one wake-up, not one per reading.

#include <mutex>
#include <vector>

#include "domain/SessionObserver.h"
#include "plot/PlotEvents.h"

namespace orvalt {

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
