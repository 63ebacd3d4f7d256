#pragma once
// Runs a piece of the test worker's code on its own thread in virtual time and
// collects everything it posts, in order, as the window would receive it. Time
// moves only when the worker sleeps, and only after every message posted so far
// has been handled, so a reaction to a message (a Stop press, say) lands exactly
// where it would in real time.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "domain/MessageQueue.h"
#include "domain/Messages.h"
#include "platform/Clock.h"

namespace orvalt::testing {

class WorkerHarness {
  public:
    // startTick: the tick count at virtual time 0 (near 2^32 to bring a wrap close).
    explicit WorkerHarness(std::uint32_t startTick = 0);

    VirtualClock& Clock() { return clock_; }
    // The window the worker posts to.
    WindowHandle Window() const { return window_; }
    // Called on the handling thread for each message, as a window handler would.
    void SetOnMessage(std::function<void(const PostedMessage&)> onMessage);
    // Runs `work` on a worker thread and returns once it has ended and every
    // message it posted has been collected.
    void RunOnWorker(const std::function<void()>& work);

    const std::vector<PostedMessage>& Messages() const { return messages_; }
    // The texts of progress messages of one kind, in the order posted.
    std::vector<std::string> Texts(int kind) const;
    // The same, only those for one row.
    std::vector<std::string> Texts(int kind, int row) const;

  private:
    void Handle(PostedMessage message);
    std::vector<std::string> TextsWhere(
        const std::function<bool(const ProgressMessage&)>& wanted) const;

    MessageQueue queue_;
    VirtualClock clock_;
    WindowHandle window_;
    std::function<void(const PostedMessage&)> onMessage_;
    std::vector<PostedMessage> messages_;
};

}  // namespace orvalt::testing
