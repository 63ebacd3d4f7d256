#pragma once
// The pace of redrawing: changes may come thousands of times a second, frames
// at most once per interval (40 ms: 25 frames a second). The first change
// after a quiet spell is drawn at once; the ones in a burst wait for the next
// frame and share it. Time is given in milliseconds by the caller, so the rule
// is tested without a clock.

#include <cstdint>
#include <optional>

namespace orvalt {

class FrameGate {
  public:
    explicit FrameGate(std::int64_t intervalMs = 40) : intervalMs_(intervalMs) {}

    // A change at `nowMs`: in how many milliseconds to draw it, or nothing
    // when a frame is already on its way and will show it.
    std::optional<std::int64_t> Schedule(std::int64_t nowMs);
    // A frame was drawn at `nowMs`.
    void Drew(std::int64_t nowMs);
    // A change waits for its frame.
    bool Pending() const { return pending_; }

  private:
    std::int64_t intervalMs_;
    std::optional<std::int64_t> lastFrame_;
    bool pending_ = false;
};

}  // namespace orvalt
