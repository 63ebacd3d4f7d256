#pragma once
// The window thread's inbox where there is no toolkit (the headless runner and
// the tests): a thread-safe queue of posted messages that also knows when every
// message posted so far has been handled, which virtual time waits for.
//
// Diagnostic lines are bounded (DiagBacklogLimit): a push beyond the bound
// drops the oldest waiting line, never any other message, and counts it for
// the link's error report.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "domain/DiagBacklogLimit.h"
#include "domain/Messages.h"
#include "platform/RunFlag.h"

namespace orvalt {

class MessageQueue {
  public:
    explicit MessageQueue(DiagBacklogLimit limit = {}) : limit_(limit) {}

    // A lower bound takes effect at the next push.
    void SetLimit(DiagBacklogLimit limit);
    void Push(PostedMessage message);
    // Waits up to `timeout` for a message, or until Wake. The caller handles it
    // and then calls DoneHandling, which is what makes the queue idle again.
    std::optional<PostedMessage> WaitPop(std::chrono::milliseconds timeout);
    // Ends the current (or the next) WaitPop without a message.
    void Wake();
    std::optional<PostedMessage> TryPop();
    void DoneHandling();
    // True once the queue is empty and nothing popped is still being handled.
    bool WaitIdleFor(std::chrono::milliseconds timeout);
    // What virtual time waits for before it moves on: every message posted so
    // far handled. It gives up once the run flag is lowered (the flag's owner
    // makes WakeIdleWaiters one of its wakers), since a stop then waits for the
    // worker and the window thread handles nothing meanwhile.
    void WaitIdleUnlessStopped(const RunFlag& runFlag);
    void WakeIdleWaiters();
    std::size_t Pending() const;
    // The diagnostic lines dropped since the last call.
    std::size_t TakeDroppedLines();
    // A post target that pushes into this queue.
    WindowHandle MakeTarget();

  private:
    void CountIn(const PostedMessage& message);
    void CountOut(const PostedMessage& message);
    bool OverLimit() const;
    void DropOldestLine();

    DiagBacklogLimit limit_;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::condition_variable idle_;
    std::deque<PostedMessage> queue_;
    std::size_t unfinished_ = 0;
    std::size_t waitingLines_ = 0;
    std::size_t waitingBytes_ = 0;
    std::size_t droppedLines_ = 0;
    bool woken_ = false;
};

}  // namespace orvalt
