#include "execution/RunEvents.h"

namespace orvalt {

void RunEvents::RunStarted() {
    origin_.Clear();
    observers_.Tell([this](SessionObserver& o) { o.RunStarted(runNumber_); });
}

void RunEvents::RunEnded(RunEnd how) {
    observers_.Tell([this, how](SessionObserver& o) { o.RunEnded(runNumber_, how); });
}

void RunEvents::TestStarted(int row) {
    origin_.Clear();
    const TestStart test{runNumber_, row};
    observers_.Tell([&test](SessionObserver& o) { o.TestStarted(test); });
}

void RunEvents::TestEnded(TestEnd test, const std::string* summaryLine) {
    test.runNumber = runNumber_;
    test.completed = summaryLine != nullptr;
    test.summaryLine = summaryLine ? *summaryLine : std::string();
    test.originTick = origin_.Tick();
    if (outcomeOf_) {
        test.outcome = outcomeOf_(test);
    }
    observers_.Tell([&test](SessionObserver& o) { o.TestEnded(test); });
}

void RunEvents::VoltageRead(std::optional<double> volts, std::string status) {
    const VoltageReading reading{Now(), volts, std::move(status)};
    observers_.Tell([&reading](SessionObserver& o) { o.VoltageRead(reading); });
}

// The first switch of a test is its time origin, so it is itself at 0.
void RunEvents::PowerSwitched(std::int32_t state, bool ok) {
    const std::uint32_t tick = clock_.NowMs();
    origin_.SwitchedAt(tick);
    const PowerSwitch change{origin_.Stamp(tick), state, ok};
    observers_.Tell([&change](SessionObserver& o) { o.PowerSwitched(change); });
}

void RunEvents::MarkerToggled(std::int32_t level) {
    const MarkerToggle change{Now(), level};
    observers_.Tell([&change](SessionObserver& o) { o.MarkerToggled(change); });
}

EventTime RunEvents::Now() {
    return origin_.Stamp(clock_.NowMs());
}

}  // namespace orvalt
