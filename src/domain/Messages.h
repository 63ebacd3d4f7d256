#pragma once
// Messages that the test worker and the diagnostic link post to the session's
// handler thread (the window's, or the headless runner's). A message is a typed
// value: what it carries moves with it, so ownership passes with the post and
// nothing is freed by hand.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "domain/DiagLine.h"

namespace orvalt {

// What a progress message changes in the window.
enum ProgressKind : int {
    ProgressWait = 0,    // the row's "Wait" cell
    ProgressStatus = 1,  // the row's "Status" cell
    ProgressLog = 2,     // a new log line
};

struct ProgressMessage {
    int kind = ProgressLog;  // a ProgressKind; any other kind changes nothing
    // The full row index of the test list (never cut to 8 bits).
    int row = 0;
    std::string text;
};

// A diagnostic line, already decoded and recorded.
struct DiagLineMessage {
    DiagLine line;
};

// A receive failure of the diagnostic link, as text.
struct LinkErrorMessage {
    std::string text;
};

// The worker's last post: the run with this number is over.
struct RunDoneMessage {
    int runNumber = 0;
};

// The drift check of a run's unit is done: the alarms it raised, one line
// each, or why there was no check.
struct SpcCheckedMessage {
    std::string runUuid;
    std::vector<std::string> alarms;
    std::string notChecked;  // empty when the unit was checked
};

using PostedMessage = std::variant<ProgressMessage, DiagLineMessage, LinkErrorMessage,
                                   RunDoneMessage, SpcCheckedMessage>;

// Where posts go: one session, or one run's view of it. A target can be
// detached (the session has gone, or a run was abandoned); posts to a detached
// target are dropped. Detach waits for a post in flight, so after it returns
// nothing more reaches the former receiver.
class PostTarget {
  public:
    using Deliver = std::function<void(PostedMessage&&)>;

    PostTarget() = default;
    explicit PostTarget(Deliver deliver) : deliver_(std::move(deliver)) {}

    // Returns false when the message was dropped.
    bool Post(PostedMessage message) {
        std::scoped_lock lock(mutex_);
        if (!deliver_) {
            return false;
        }
        deliver_(std::move(message));
        return true;
    }

    void Attach(Deliver deliver) {
        std::scoped_lock lock(mutex_);
        deliver_ = std::move(deliver);
    }

    void Detach() { Attach(nullptr); }

  private:
    std::mutex mutex_;
    Deliver deliver_;
};

// A handle as the threads hold it. Shared, so that a thread holding one never
// sees freed memory; a receiver that has gone is a detached target.
using WindowHandle = std::shared_ptr<PostTarget>;

// A target that forwards to another one: what one run posts through, so that
// it can be cut off on its own without touching the session.
inline WindowHandle MakeForwardingTarget(const WindowHandle& to) {
    return std::make_shared<PostTarget>([to](PostedMessage&& m) {
        if (to) {
            to->Post(std::move(m));
        }
    });
}

}  // namespace orvalt
