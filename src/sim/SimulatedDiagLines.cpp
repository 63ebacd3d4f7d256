#include "sim/SimulatedDiagLines.h"

#include <chrono>

namespace orvalt {

VirtualDiagLines::VirtualDiagLines(SimulatedUnit& unit, SimulatedU3& device, VirtualClock& clock,
                                   SimulatedUnit::DiagSink sink)
    : unit_(unit), device_(device), clock_(clock), sink_(std::move(sink)) {
    clock_.AddEventSource(this);
}

VirtualDiagLines::~VirtualDiagLines() {
    clock_.RemoveEventSource(this);
}

// The unit's time axis and the clock's elapsed time differ by a constant: the
// clock's origin on the unwrapped tick axis.
std::optional<std::uint64_t> VirtualDiagLines::NextDue() {
    const auto due = unit_.NextDiagDue();
    if (!due) {
        return std::nullopt;
    }
    const std::uint64_t unitNow = device_.NowMs();
    const std::uint64_t clockNow = clock_.ElapsedMs();
    return *due <= unitNow ? clockNow : clockNow + (*due - unitNow);
}

void VirtualDiagLines::Fire(std::uint64_t /*now*/) {
    unit_.EmitDueDiagLines(device_.NowMs(), sink_);
}

RealTimeDiagLines::RealTimeDiagLines(SimulatedUnit& unit, SimulatedU3& device,
                                     SimulatedUnit::DiagSink sink)
    : unit_(unit), device_(device), sink_(std::move(sink)), thread_([this] { Run(); }) {}

RealTimeDiagLines::~RealTimeDiagLines() {
    {
        std::scoped_lock lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

// A power edge schedules a line within milliseconds, so the thread looks again
// at least every 5 ms rather than sleeping through it.
void RealTimeDiagLines::Run() {
    constexpr std::uint64_t kLookAgainMs = 5;
    std::unique_lock lock(mutex_);
    while (!stop_) {
        const std::uint64_t now = device_.NowMs();
        const auto due = unit_.NextDiagDue();
        if (due && *due <= now) {
            lock.unlock();
            unit_.EmitDueDiagLines(now, sink_);
            lock.lock();
            continue;
        }
        const std::uint64_t waitMs = due ? std::min(*due - now, kLookAgainMs) : kLookAgainMs;
        wake_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return stop_; });
    }
}

}  // namespace orvalt
