#include "recording/TraceTimes.h"

namespace orvalt {

namespace {

std::int64_t& TraceMs(RecordEvent& event) {
    if (auto* reading = std::get_if<ReadingTaken>(&event)) {
        return reading->reading.ms;
    }
    if (auto* change = std::get_if<LineSwitched>(&event)) {
        return change->change.ms;
    }
    return std::get<DiagLineSeen>(event).line.ms;
}

// Ticks wrap at 32 bits; the difference of two of them is signed.
std::int64_t Since(std::uint32_t origin, std::uint32_t tick) {
    return static_cast<std::int32_t>(tick - origin);
}

}  // namespace

void TraceTimes::Time(RecordEvent event, std::uint32_t tick, bool inTest, bool powerSwitch,
                      StampedEvents& out) {
    if (powerSwitch && inTest && !testHasOrigin_) {
        origin_ = tick;
        testHasOrigin_ = true;
        Release(out);
    }
    if (inTest && !testHasOrigin_) {
        held_.emplace_back(std::move(event), tick);
        return;
    }
    TraceMs(event) = origin_ ? Since(*origin_, tick) : 0;
    out.Add(std::move(event));
}

void TraceTimes::Release(StampedEvents& out) {
    if (!held_.empty() && !testHasOrigin_) {
        origin_ = held_.front().second;
    }
    for (auto& [event, tick] : held_) {
        TraceMs(event) = Since(*origin_, tick);
        out.Add(std::move(event));
    }
    held_.clear();
}

}  // namespace orvalt
