#pragma once
// Messages that the worker and the diagnostic link post to the window. A message
// is a value: the text or bytes it carries move with it, so ownership passes with
// the post and nothing is freed by hand.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace orvalt {

constexpr unsigned WM_USER = 0x0400;
constexpr unsigned WM_DIAG_LINE = WM_USER + 1;
constexpr unsigned WM_DIAG_ERROR = WM_USER + 2;
constexpr unsigned WM_TEST_PROGRESS = WM_USER + 0x1D;

struct PostedMessage {
    unsigned id = 0;
    // WM_TEST_PROGRESS: the progress kind. Unused by the diagnostic messages.
    int kind = 0;
    // WM_TEST_PROGRESS: the full row index of the test list (never cut to 8 bits).
    int row = 0;
    // The text of a progress or error message, or the bytes of a diagnostic line.
    std::string payload;
};

// Where posts go: one window, or one run's view of it. A target can be detached
// (the window has gone, or a run was abandoned); posts to a detached target are
// dropped. Detach waits for a post in flight, so after it returns nothing more
// reaches the former receiver.
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

    bool Attached() const {
        std::scoped_lock lock(mutex_);
        return static_cast<bool>(deliver_);
    }

  private:
    mutable std::mutex mutex_;
    Deliver deliver_;
};

// A window handle as the threads hold it. Shared, so that a thread holding one
// never sees freed memory; a window that has gone is a detached target.
using WindowHandle = std::shared_ptr<PostTarget>;

// A target that forwards to another one: what one run (or one link) posts
// through, so that it can be cut off on its own without touching the window.
inline WindowHandle MakeForwardingTarget(const WindowHandle& to) {
    return std::make_shared<PostTarget>([to](PostedMessage&& m) {
        if (to) {
            to->Post(std::move(m));
        }
    });
}

}  // namespace orvalt
