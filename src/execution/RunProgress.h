#pragma once
// Where a run stands, as its worker keeps it without posting anything: the
// test it is in, how many tests it has completed, the wait it announced last
// and the last reading it took. The status the session publishes is read from
// it; none of it reaches the test list, the log or the result files.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace orvalt {

// A wait as the worker announced it in the row's Wait cell: its text, when it
// began on the station clock and how long it lasts. It stays the announced
// wait after it has run out, until the cell is cleared or another replaces it.
struct AnnouncedWait {
    std::string text;
    std::uint32_t startTick = 0;
    std::int32_t ms = 0;
    bool over = false;
};

struct LightReading {
    double volts = 0.0;
    int index = 0;  // 0-based within its test step
};

struct RunProgressSnapshot {
    std::int32_t test = -1;  // 0-based index of the test being run; -1 before the first
    std::int32_t completed = 0;
    std::optional<AnnouncedWait> wait;
    std::optional<LightReading> reading;
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
    void BeginWait(std::string text, std::uint32_t startTick, std::int32_t ms) {
        Change([&](auto& now) { now.wait = AnnouncedWait{std::move(text), startTick, ms, false}; });
    }
    void EndWait() {
        Change([](auto& now) {
            if (now.wait) {
                now.wait->over = true;
            }
        });
    }
    void ForgetWait() {
        Change([](auto& now) { now.wait.reset(); });
    }
    void TookReading(LightReading reading) {
        Change([reading](auto& now) { now.reading = reading; });
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
