#include "plot/PlotFeed.h"

#include <utility>

namespace orvalt {

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
        Add(plotfeed::Crossings{test.outcome.crossings});
    }
}

void PlotFeed::VoltageRead(const VoltageReading& reading) {
    if (reading.volts) {
        Add(plotfeed::Reading{reading.time.Seconds(), *reading.volts});
    }
}

void PlotFeed::PowerSwitched(const PowerSwitch& change) {
    if (change.ok) {
        Add(plotfeed::Switch{change.time.Seconds(), change.state == 1});
    }
}

}  // namespace orvalt
