#pragma once
// The flag a run goes on by: up while the run may go on, lowered by Stop. A
// wait of the run watches it, so lowering it wakes that wait at once, whatever
// the wait sleeps on: its own condition variable here, or another lock's, woken
// through a waker the owner of that lock registered.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace orvalt {

class RunFlag {
  public:
    RunFlag() = default;
    RunFlag(const RunFlag&) = delete;
    RunFlag& operator=(const RunFlag&) = delete;

    void Raise();
    // Wakes every SleepWhileUp, then calls each waker.
    void Lower();
    bool Up() const { return up_.load(); }

    // Sleeps up to `duration`, returning as soon as the flag is lowered. True
    // when the flag is still up.
    bool SleepWhileUp(std::chrono::milliseconds duration);

    // `wake` runs on the lowering thread after the flag has dropped: a wait
    // under a lock of its own looks at the flag under that lock, so taking the
    // lock and notifying cannot miss it. Returns the key RemoveWaker takes.
    int AddWaker(std::function<void()> wake);
    void RemoveWaker(int key);

  private:
    std::atomic<bool> up_{false};
    std::mutex mutex_;
    std::condition_variable lowered_;
    std::vector<std::pair<int, std::function<void()>>> wakers_;
    int nextKey_ = 0;
};

}  // namespace orvalt
