#pragma once
// When each event of a run happened: the station's tick count and the
// milliseconds since the test's origin, its first power switch. An event is
// stamped once, where it is met; the plot, the record and the report only read
// the stamp. The origin is one atomic word: the worker moves it while the
// link's thread stamps lines with it. More: docs/design/test-origin.md.

#include <atomic>
#include <cstdint>
#include <optional>

namespace orvalt {

struct EventTime {
    std::uint32_t tick = 0;  // the station's tick count, wrapping at 2^32
    std::int64_t ms = 0;     // since the test's first power switch

    double Seconds() const { return static_cast<double>(ms) / 1000.0; }
    bool operator==(const EventTime&) const = default;
};

class TestOrigin {
  public:
    // A run or a test begins: no origin until the test's first switch.
    void Clear() { word_.store(0); }

    // A power switch at `tick`: the test's origin unless it has one already.
    void SwitchedAt(std::uint32_t tick) {
        std::uint64_t none = 0;
        word_.compare_exchange_strong(none, kSet | tick);
    }

    std::optional<std::uint32_t> Tick() const {
        const std::uint64_t word = word_.load();
        return word == 0 ? std::nullopt : std::optional(static_cast<std::uint32_t>(word));
    }

    // The ticks' difference is signed: a diagnostic line read just before a
    // switch but stamped after it lies a few ms before the origin, not 49 days
    // after it.
    EventTime Stamp(std::uint32_t tick) const {
        const std::optional<std::uint32_t> origin = Tick();
        return {tick, origin ? static_cast<std::int32_t>(tick - *origin) : 0};
    }

  private:
    static constexpr std::uint64_t kSet = std::uint64_t{1} << 32;
    std::atomic<std::uint64_t> word_{0};
};

}  // namespace orvalt
