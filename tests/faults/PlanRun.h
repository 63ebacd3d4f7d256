#pragma once
// One run of a plan on a simulated station session in virtual time, driven the
// way the window drives it: the test's thread is the handler thread, sees every
// post (progress, diagnostic lines, link errors) and may act on any of them
// (press Stop, pull a cable) before the session handles it.

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/TestPlanFile.h"
#include "station/StationSession.h"
#include "support/DeviceTap.h"
#include "support/SessionDriving.h"

namespace orvalt::test {

// The example plan shipped with the station.
const LoadedPlan& ExamplePlan();
// The same plan cut after its first `tests` tests.
LoadedPlan FirstTestsOf(const LoadedPlan& plan, std::size_t tests);

// The unit description every run of these tests is made with.
UnitDescription FaultRunUnit();

class PlanRun {
  public:
    PlanRun(const LoadedPlan& plan, const UnitProfile& unit);
    ~PlanRun();
    PlanRun(const PlanRun&) = delete;
    PlanRun& operator=(const PlanRun&) = delete;

    // Called with every message before it is handled.
    std::function<void(const PostedMessage&)> beforeHandling;
    // A post for which this holds keeps its poster (the worker) waiting until a
    // stop has been requested: the stop then lands right after that post.
    std::function<bool(const PostedMessage&)> holdPosterUntilStop;

    // Presses Start and handles posts until the run is over and nothing is left
    // to handle. False when it was not over within `limit` of real time.
    bool StartAndRun(std::chrono::seconds limit = std::chrono::seconds(30));
    // Handles posts until `done` holds; false when `limit` passed first.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::seconds limit);

    void PressStartStop() { orvalt::test::PressStartStop(session_); }
    StationSession& Session() { return session_; }
    SimulatedU3& Device() { return tap_.Device(); }
    const WindowModel& Model() const { return session_.Model(); }
    // The summary lines of the run, as its observers were told them.
    std::vector<std::string> Summary() const { return summary_.Lines(); }

    int runDoneCount = 0;
    std::size_t diagLines = 0;
    std::vector<std::string> diagErrors;

  private:
    SessionOptions Options(const UnitProfile& unit);
    void Posted(const PostedMessage& message);
    void Seen(const PostedMessage& message);

    LoadedPlan plan_;
    DeviceTap tap_;
    const RunFlag* runFlag_ = nullptr;
    SummaryWatch summary_;
    StationSession session_;
};

// The run ended the way every run must: the controls are given back and the
// summary lines are exactly `expected`.
::testing::AssertionResult EndedWith(PlanRun& run, const std::vector<std::string>& expected);

// The run's summary lines can be saved, and the totals file then holds exactly
// `expected`, with the manufacturer in the window.
::testing::AssertionResult SavesTotals(PlanRun& run, const std::filesystem::path& folder,
                                       const std::vector<std::string>& expected);

// A test's last log line: the one its sequence posts with its verdict.
bool IsVerdictLine(const std::string& line);
// How many tests reached their verdict, by their verdict lines in the log.
std::size_t VerdictsLogged(const WindowModel& model);

}  // namespace orvalt::test
