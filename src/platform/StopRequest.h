#pragma once
// A request to stop, as Ctrl-C and the termination signals make it: a flag and
// an event a poll can wait on, both set in one async-signal-safe call. Whoever
// handles requests takes them; whoever sleeps on the event wakes at once.

#include <atomic>

#include "platform/EventFd.h"

namespace orvalt {

class StopRequest {
  public:
    // Safe inside a signal handler: an atomic store and one write.
    void Request();
    // True once per request since the last take (sets the flag back to false).
    bool Take() { return requested_.exchange(false); }
    bool Pending() const { return requested_.load(); }
    // For the loaders and savers that look at a plain flag.
    std::atomic<bool>& Flag() { return requested_; }
    // Readable after each Request until drained.
    int WakeFd() const { return wake_.Fd(); }
    void DrainWake() { wake_.Drain(); }

  private:
    std::atomic<bool> requested_{false};
    EventFd wake_;
};

}  // namespace orvalt
