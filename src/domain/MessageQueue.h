#pragma once
// The window thread's inbox where there is no toolkit (the headless runner and
// the tests): a thread-safe queue of posted messages that also knows when every
// message posted so far has been handled, which virtual time waits for.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "domain/Messages.h"

namespace orvalt {

class MessageQueue {
  public:
    void Push(PostedMessage message);
    // Waits up to `timeout` for a message. The caller handles it and then calls
    // DoneHandling, which is what makes the queue idle again.
    std::optional<PostedMessage> WaitPop(std::chrono::milliseconds timeout);
    std::optional<PostedMessage> TryPop();
    void DoneHandling();
    // True once the queue is empty and nothing popped is still being handled.
    bool WaitIdleFor(std::chrono::milliseconds timeout);
    // What virtual time waits for before it moves on: every message posted so
    // far handled. It gives up once the run flag drops to 0, since a stop then
    // waits for the worker and the window thread handles nothing meanwhile.
    void WaitIdleUnlessStopped(const std::atomic<std::int32_t>& runFlag);
    std::size_t Pending() const;
    // A post target that pushes into this queue.
    WindowHandle MakeTarget();

  private:
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::condition_variable idle_;
    std::deque<PostedMessage> queue_;
    std::size_t unfinished_ = 0;
};

}  // namespace orvalt
