#pragma once
// The station's millisecond tick count and its sleep. Every measured time is the
// unsigned 32-bit difference of two ticks, so a wrap of the count never shows.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/RunFlag.h"

namespace orvalt {

class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary origin, wrapping at 2^32 (timeGetTime).
    virtual std::uint32_t NowMs() = 0;
    // Sleeps the calling thread; 0 or less returns at once.
    virtual void SleepMs(std::int32_t ms) = 0;
    // Sleeps like SleepMs, but returns as soon as `flag` is lowered.
    virtual void SleepWhileUp(std::int32_t ms, RunFlag& flag) = 0;
};

// Difference of two tick counts in seconds, correct across a wrap of the count.
inline double TicksToSeconds(std::uint32_t from, std::uint32_t to) {
    return static_cast<double>(static_cast<std::uint32_t>(to - from)) / 1000.0;
}

// Steady clock of the machine. startTick sets the first value NowMs reports, so
// that a wrap of the count can be brought close.
class RealClock final : public Clock {
  public:
    explicit RealClock(std::uint32_t startTick = 0);
    std::uint32_t NowMs() override;
    void SleepMs(std::int32_t ms) override;
    void SleepWhileUp(std::int32_t ms, RunFlag& flag) override;

  private:
    std::int64_t originMs_;
    std::uint32_t startTick_;
};

// Something that happens at a moment of virtual time (a diagnostic line the
// simulated driver sends, for instance).
class VirtualEventSource {
  public:
    virtual ~VirtualEventSource() = default;
    // The earliest moment (virtual ms since the clock's origin) something is due.
    virtual std::optional<std::uint64_t> NextDue() = 0;
    // Lets what is due at `now` happen.
    virtual void Fire(std::uint64_t now) = 0;
};

// Deterministic time for the simulator and the tests. Time moves only in
// SleepMs; before each step the idle waiter is called, which holds the clock
// until whoever handles the posted messages has caught up as far as its owner
// needs (all of them, or all but a bounded batch). Due events fire in time
// order at their own moment inside a sleep. A sleep that watches a run
// flag ends at the moment the flag is lowered: time moves no further.
class VirtualClock final : public Clock {
  public:
    explicit VirtualClock(std::uint32_t startTick = 0);
    std::uint32_t NowMs() override;
    void SleepMs(std::int32_t ms) override;
    void SleepWhileUp(std::int32_t ms, RunFlag& flag) override;

    std::uint64_t ElapsedMs() const;
    void SetIdleWaiter(std::function<void()> waiter);
    void AddEventSource(VirtualEventSource* source);
    void RemoveEventSource(VirtualEventSource* source);

  private:
    void Advance(std::int32_t ms, const RunFlag* flag);
    void WaitIdle();
    std::optional<std::pair<std::uint64_t, VirtualEventSource*>> EarliestDue(std::uint64_t limit);

    mutable std::mutex mutex_;
    std::uint64_t elapsed_ = 0;
    std::uint32_t startTick_;
    std::function<void()> idleWaiter_;
    std::vector<VirtualEventSource*> sources_;
};

}  // namespace orvalt
