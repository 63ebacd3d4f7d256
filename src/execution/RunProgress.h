#pragma once
// Where a run stands, as its worker keeps it without posting anything: the
// test it is in, how many tests it has completed, and the announced wait it
// is sleeping through. The window reads it for its status strip; none of it
// reaches the test list, the log or the result files.

#include <cstdint>
#include <mutex>
#include <optional>

namespace orvalt {

struct ShownWaitTimes {
    std::uint32_t startTick = 0;
    std::int32_t ms = 0;
};

struct RunProgressSnapshot {
    std::int32_t test = -1;  // 0-based index of the test being run; -1 before the first
    std::int32_t completed = 0;
    std::optional<ShownWaitTimes> wait;
    // The worker's last write to the device switched the unit off.
    bool leftUnitOff = false;
};

class RunProgress {
  public:
    void BeginTest(std::int32_t index) {
        Change([index](auto& now) { now.test = index; });
    }
    void TestCompleted() {
        Change([](auto& now) { ++now.completed; });
    }
    void BeginWait(std::uint32_t startTick, std::int32_t ms) {
        Change([=](auto& now) { now.wait = ShownWaitTimes{startTick, ms}; });
    }
    void EndWait() {
        Change([](auto& now) { now.wait.reset(); });
    }
    void LeftUnitOff() {
        Change([](auto& now) { now.leftUnitOff = true; });
    }

    RunProgressSnapshot Read() const {
        std::scoped_lock lock(mutex_);
        return now_;
    }

  private:
    template <class Edit>
    void Change(Edit edit) {
        std::scoped_lock lock(mutex_);
        edit(now_);
    }

    mutable std::mutex mutex_;
    RunProgressSnapshot now_;
};

}  // namespace orvalt
