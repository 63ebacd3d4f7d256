#pragma once
// One run's events as the session's observers receive them, each stamped once
// with its tick and its time since the current test's first power switch. The
// origin is the session's, which stamps the diagnostic lines with it too.
// Called on the worker's thread only.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "domain/SessionObservers.h"
#include "domain/TestOrigin.h"
#include "platform/Clock.h"

namespace orvalt {

// Builds a test's outcome from its end (the session judges it).
using OutcomeBuilder = std::function<TestOutcome(const TestEnd& test)>;

class RunEvents {
  public:
    RunEvents(SessionObservers& observers, Clock& clock, TestOrigin& origin, int runNumber,
              OutcomeBuilder outcomeOf = {})
        : observers_(observers),
          clock_(clock),
          origin_(origin),
          runNumber_(runNumber),
          outcomeOf_(std::move(outcomeOf)) {}

    // A run's start clears the origin left by the last run.
    void RunStarted();
    void RunEnded(RunEnd how);
    // A test's start also resets the time origin until its first switch.
    void TestStarted(int row);
    // `summaryLine` null: the test did not complete.
    // `test` carries the row, the shape and the measurements; its run number,
    // summary line, time origin and outcome are filled here.
    void TestEnded(TestEnd test, const std::string* summaryLine);
    void VoltageRead(std::optional<double> volts, std::string status);
    void PowerSwitched(std::int32_t state, bool ok);
    void MarkerToggled(std::int32_t level);

  private:
    EventTime Now();

    SessionObservers& observers_;
    Clock& clock_;
    TestOrigin& origin_;
    int runNumber_;
    OutcomeBuilder outcomeOf_;
};

}  // namespace orvalt
