#pragma once
// A station session driven from a test's thread as the window drives it: the
// Start/Stop button, the posts handled until the run is over, and the summary
// lines each run tells its observers.

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "station/StationSession.h"

namespace orvalt::test {

// A press of the Start/Stop button, without the window's checks of the unit.
inline void PressStartStop(StationSession& session) {
    if (session.Status().startStopPress == StartStop::Stop) {
        session.Stop();
    } else {
        static_cast<void>(session.Start());
    }
}

// Handles posts, `before` seeing each first, until the run's worker has
// ended and nothing is left to handle; false when `limit` passed first.
inline bool HandleUntilRunOver(StationSession& session,
                               std::chrono::milliseconds limit = std::chrono::seconds(60),
                               const std::function<void(const PostedMessage&)>& before = {}) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (!session.HandleNext(std::chrono::milliseconds(5), before) &&
            !session.Status().runGoing) {
            return true;
        }
    }
    return false;
}

// The summary lines of the tests the latest run completed, as the observers
// are told them: the summary table holds the same until a save.
class SummaryWatch final : public SessionObserver {
  public:
    void RunStarted(int /*runNumber*/) override {
        std::scoped_lock lock(mutex_);
        lines_.clear();
    }
    void TestEnded(const TestEnd& test) override {
        if (test.completed) {
            std::scoped_lock lock(mutex_);
            lines_.push_back(test.summaryLine);
        }
    }
    std::vector<std::string> Lines() const {
        std::scoped_lock lock(mutex_);
        return lines_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace orvalt::test
