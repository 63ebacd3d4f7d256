#include "domain/MessageQueue.h"

#include <algorithm>
#include <utility>

namespace orvalt {

namespace {
const DiagLine* LineIn(const PostedMessage& message) {
    const auto* diag = std::get_if<DiagLineMessage>(&message);
    return diag ? &diag->line : nullptr;
}
}  // namespace

void MessageQueue::PushLocked(PostedMessage message) {
    CountIn(message);
    queue_.push_back(std::move(message));
    ++unfinished_;
    while (OverLimit()) {
        DropOldestLine();
    }
}

void MessageQueue::Push(PostedMessage message) {
    {
        std::scoped_lock lock(mutex_);
        PushLocked(std::move(message));
    }
    arrived_.notify_one();
}

void MessageQueue::PushQuietly(PostedMessage message) {
    std::scoped_lock lock(mutex_);
    PushLocked(std::move(message));
}

std::optional<PostedMessage> MessageQueue::WaitPop(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, timeout, [this] { return !queue_.empty() || woken_; });
    woken_ = false;
    if (queue_.empty()) {
        return std::nullopt;
    }
    PostedMessage message = std::move(queue_.front());
    queue_.pop_front();
    CountOut(message);
    return message;
}

std::optional<PostedMessage> MessageQueue::TryPop() {
    return WaitPop(std::chrono::milliseconds(0));
}

void MessageQueue::DoneHandling() {
    bool idle = false;
    {
        std::scoped_lock lock(mutex_);
        if (unfinished_ > 0) {
            --unfinished_;
        }
        idle = unfinished_ == 0;
    }
    if (idle) {
        idle_.notify_all();
    }
}

bool MessageQueue::WaitIdleFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, timeout, [this] { return unfinished_ == 0; });
}

void MessageQueue::Wake() {
    {
        std::scoped_lock lock(mutex_);
        woken_ = true;
    }
    arrived_.notify_all();
}

// The lock orders the wake-up after the waiter's look at its flag.
void MessageQueue::WakeIdleWaiters() {
    { std::scoped_lock lock(mutex_); }
    idle_.notify_all();
}

// Waiting for the whole backlog, not just below `lag`, lets the handler work
// through it in one stretch while the worker sleeps: two hand-overs per batch.
void MessageQueue::CatchUpUnlessStopped(std::size_t lag, const RunFlag& runFlag) {
    std::unique_lock lock(mutex_);
    if (unfinished_ < lag && !HalfwayToLimit()) {
        return;
    }
    arrived_.notify_one();
    idle_.wait(lock, [&] { return unfinished_ == 0 || !runFlag.Up(); });
}

std::size_t MessageQueue::Pending() const {
    std::scoped_lock lock(mutex_);
    return queue_.size();
}

void MessageQueue::SetLimit(DiagBacklogLimit limit) {
    std::scoped_lock lock(mutex_);
    limit_ = limit;
}

std::size_t MessageQueue::TakeDroppedLines() {
    std::scoped_lock lock(mutex_);
    return std::exchange(droppedLines_, 0);
}

void MessageQueue::CountIn(const PostedMessage& message) {
    if (const DiagLine* line = LineIn(message)) {
        ++waitingLines_;
        waitingBytes_ += line->bytes.size();
    }
}

void MessageQueue::CountOut(const PostedMessage& message) {
    if (const DiagLine* line = LineIn(message)) {
        --waitingLines_;
        waitingBytes_ -= line->bytes.size();
    }
}

// The newest line always stays, however long it is.
bool MessageQueue::OverLimit() const {
    return waitingLines_ > 1 && (waitingLines_ > limit_.lines || waitingBytes_ > limit_.bytes);
}

// Virtual time catches up well before a line could be dropped, whatever the bound.
bool MessageQueue::HalfwayToLimit() const {
    return waitingLines_ * 2 >= limit_.lines || waitingBytes_ * 2 >= limit_.bytes;
}

// The oldest line is nearly always at the front: only the few progress and
// run-done messages posted before it are stepped over.
void MessageQueue::DropOldestLine() {
    const auto oldest = std::find_if(queue_.begin(), queue_.end(),
                                     [](const PostedMessage& m) { return LineIn(m) != nullptr; });
    CountOut(*oldest);
    queue_.erase(oldest);
    --unfinished_;
    ++droppedLines_;
}

WindowHandle MessageQueue::MakeTarget() {
    return std::make_shared<PostTarget>([this](PostedMessage&& m) { Push(std::move(m)); });
}

}  // namespace orvalt
