#pragma once
// The window thread's inbox where there is no toolkit (the headless runner and
// the tests): a thread-safe queue of posted messages that also knows how many
// posted messages are still to be handled, which virtual time keeps bounded.
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
    // Queues like Push without waking a handler asleep in WaitPop: it finds the
    // message at its next Push, CatchUpUnlessStopped or the end of its wait.
    // Virtual time posts this way, so the handler wakes once per batch rather
    // than once per message.
    void PushQuietly(PostedMessage message);
    // Waits up to `timeout` for a message, or until Wake. The caller handles it
    // and then calls DoneHandling, which is what makes the queue idle again.
    std::optional<PostedMessage> WaitPop(std::chrono::milliseconds timeout);
    // Ends the current (or the next) WaitPop without a message.
    void Wake();
    std::optional<PostedMessage> TryPop();
    void DoneHandling();
    // True once the queue is empty and nothing popped is still being handled.
    bool WaitIdleFor(std::chrono::milliseconds timeout);
    // What virtual time does before it moves on: nothing while fewer than
    // `lag` posted messages are unhandled and the diagnostic lines are below
    // half their bound; otherwise it wakes the handler and
    // waits until every one is handled. It gives up once the run flag is
    // lowered (the flag's owner makes WakeIdleWaiters one of its wakers), since
    // a stop then waits for the worker and the window thread handles nothing
    // meanwhile.
    void CatchUpUnlessStopped(std::size_t lag, const RunFlag& runFlag);
    void WakeIdleWaiters();
    std::size_t Pending() const;
    // The diagnostic lines dropped since the last call.
    std::size_t TakeDroppedLines();
    // A post target that pushes into this queue.
    WindowHandle MakeTarget();

  private:
    void PushLocked(PostedMessage message);
    void CountIn(const PostedMessage& message);
    void CountOut(const PostedMessage& message);
    bool OverLimit() const;
    bool HalfwayToLimit() const;
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
