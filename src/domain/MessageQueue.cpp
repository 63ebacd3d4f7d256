#include "domain/MessageQueue.h"

namespace orvalt {

void MessageQueue::Push(PostedMessage message) {
    {
        std::scoped_lock lock(mutex_);
        queue_.push_back(std::move(message));
        ++unfinished_;
    }
    arrived_.notify_one();
}

std::optional<PostedMessage> MessageQueue::WaitPop(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_for(lock, timeout, [this] { return !queue_.empty(); })) {
        return std::nullopt;
    }
    PostedMessage message = std::move(queue_.front());
    queue_.pop_front();
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

void MessageQueue::WaitIdleUnlessStopped(const std::atomic<std::int32_t>& runFlag) {
    while (!WaitIdleFor(std::chrono::milliseconds(5)) && runFlag.load() != 0) {
    }
}

std::size_t MessageQueue::Pending() const {
    std::scoped_lock lock(mutex_);
    return queue_.size();
}

WindowHandle MessageQueue::MakeTarget() {
    return std::make_shared<PostTarget>([this](PostedMessage&& m) { Push(std::move(m)); });
}

}  // namespace orvalt
