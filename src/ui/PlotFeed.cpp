#include "ui/PlotFeed.h"

#include <algorithm>
#include <utility>

namespace orvalt {

namespace {

std::optional<double> IfReached(double seconds) {
    return seconds == kTimeNotReached ? std::nullopt : std::optional(seconds);
}

plotfeed::Crossings CrossingsOf(const TestEnd& test) {
    const TestMeasurements& m = test.measurements;
    plotfeed::Crossings crossings;
    if (!test.cycleMode || m.notCycling != 0) {
        return crossings;
    }
    crossings.timeToOn = IfReached(m.timeToOn);
    if (m.timeToOffDone != 0) {
        const auto slot = static_cast<std::size_t>(std::clamp(test.switchOffLevel, 1, 4) - 1);
        crossings.timeToOffA = IfReached(m.timeToOffA[slot]);
        crossings.timeToOffB = IfReached(m.timeToOffB[slot]);
    }
    return crossings;
}

}  // namespace

std::vector<PlotEvent> PlotFeed::Take() {
    std::scoped_lock lock(mutex_);
    return std::exchange(events_, {});
}

void PlotFeed::Add(PlotEvent event) {
    std::scoped_lock lock(mutex_);
    events_.push_back(std::move(event));
}

void PlotFeed::RunStarted(int /*runNumber*/) {
    Add(plotfeed::RunStart{});
}

void PlotFeed::RunEnded(int /*runNumber*/, RunEnd /*how*/) {
    Add(plotfeed::RunEnd{});
}

void PlotFeed::TestStarted(const TestStart& test) {
    Add(plotfeed::TestBegin{test.row + 1});
}

void PlotFeed::TestEnded(const TestEnd& test) {
    if (test.completed) {
        Add(CrossingsOf(test));
    }
}

void PlotFeed::VoltageRead(const VoltageReading& reading) {
    if (reading.volts) {
        Add(plotfeed::Reading{reading.seconds, *reading.volts});
    }
}

void PlotFeed::PowerSwitched(const PowerSwitch& change) {
    if (change.ok) {
        Add(plotfeed::Switch{change.seconds, change.state == 1});
    }
}

}  // namespace orvalt
