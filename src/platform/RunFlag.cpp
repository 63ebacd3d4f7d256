#include "platform/RunFlag.h"

#include <algorithm>

namespace orvalt {

void RunFlag::Raise() {
    std::scoped_lock lock(mutex_);
    up_ = true;
}

// The wakers are called under the flag's lock, so that one being removed is
// never called after RemoveWaker has returned.
void RunFlag::Lower() {
    std::scoped_lock lock(mutex_);
    up_ = false;
    lowered_.notify_all();
    for (const auto& [key, wake] : wakers_) {
        wake();
    }
}

bool RunFlag::SleepWhileUp(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex_);
    return !lowered_.wait_for(lock, duration, [this] { return !up_.load(); });
}

int RunFlag::AddWaker(std::function<void()> wake) {
    std::scoped_lock lock(mutex_);
    wakers_.emplace_back(nextKey_, std::move(wake));
    return nextKey_++;
}

void RunFlag::RemoveWaker(int key) {
    std::scoped_lock lock(mutex_);
    std::erase_if(wakers_, [key](const auto& waker) { return waker.first == key; });
}

}  // namespace orvalt
