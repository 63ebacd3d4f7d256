#include "platform/Clock.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace orvalt {

namespace {
std::int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

RealClock::RealClock(std::uint32_t startTick) : originMs_(SteadyMs()), startTick_(startTick) {}

std::uint32_t RealClock::NowMs() {
    return startTick_ + static_cast<std::uint32_t>(SteadyMs() - originMs_);
}

void RealClock::SleepMs(std::int32_t ms) {
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

void RealClock::SleepWhileUp(std::int32_t ms, RunFlag& flag) {
    if (ms > 0) {
        flag.SleepWhileUp(std::chrono::milliseconds(ms));
    }
}

VirtualClock::VirtualClock(std::uint32_t startTick) : startTick_(startTick) {}

std::uint32_t VirtualClock::NowMs() {
    std::scoped_lock lock(mutex_);
    return startTick_ + static_cast<std::uint32_t>(elapsed_);
}

std::uint64_t VirtualClock::ElapsedMs() const {
    std::scoped_lock lock(mutex_);
    return elapsed_;
}

void VirtualClock::SetIdleWaiter(std::function<void()> waiter) {
    std::scoped_lock lock(mutex_);
    idleWaiter_ = std::move(waiter);
}

void VirtualClock::AddEventSource(VirtualEventSource* source) {
    std::scoped_lock lock(mutex_);
    sources_.push_back(source);
}

void VirtualClock::RemoveEventSource(VirtualEventSource* source) {
    std::scoped_lock lock(mutex_);
    std::erase(sources_, source);
}

void VirtualClock::WaitIdle() {
    std::function<void()> waiter;
    {
        std::scoped_lock lock(mutex_);
        waiter = idleWaiter_;
    }
    if (waiter) {
        waiter();
    }
}

std::optional<std::pair<std::uint64_t, VirtualEventSource*>> VirtualClock::EarliestDue(
    std::uint64_t limit) {
    std::vector<VirtualEventSource*> sources;
    {
        std::scoped_lock lock(mutex_);
        sources = sources_;
    }
    std::optional<std::pair<std::uint64_t, VirtualEventSource*>> best;
    for (auto* source : sources) {
        auto due = source->NextDue();
        if (due && *due <= limit && (!best || *due < best->first)) {
            best = std::pair{*due, source};
        }
    }
    return best;
}

void VirtualClock::SleepMs(std::int32_t ms) {
    Advance(ms, nullptr);
}

void VirtualClock::SleepWhileUp(std::int32_t ms, RunFlag& flag) {
    Advance(ms, &flag);
}

void VirtualClock::Advance(std::int32_t ms, const RunFlag* flag) {
    if (ms <= 0) {
        return;
    }
    const auto stopped = [flag] { return flag && !flag->Up(); };
    const std::uint64_t target = ElapsedMs() + static_cast<std::uint64_t>(ms);
    WaitIdle();
    while (!stopped()) {
        const auto due = EarliestDue(target);
        if (!due) {
            break;
        }
        {
            std::scoped_lock lock(mutex_);
            elapsed_ = std::max(elapsed_, due->first);
        }
        due->second->Fire(due->first);
        WaitIdle();
    }
    if (stopped()) {
        return;
    }
    std::scoped_lock lock(mutex_);
    elapsed_ = target;
}

}  // namespace orvalt
