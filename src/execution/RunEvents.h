#pragma once
// One run's events as the session's observers receive them, stamped with the
// time since the current test's first power switch. Called on the worker's
// thread only, so the test's time origin needs no lock.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "domain/SessionObservers.h"
#include "platform/Clock.h"

namespace orvalt {

// Builds a test's outcome from its end (the session judges it).
using OutcomeBuilder = std::function<TestOutcome(const TestEnd& test)>;

class RunEvents {
  public:
    RunEvents(SessionObservers& observers, Clock& clock, int runNumber,
              OutcomeBuilder outcomeOf = {})
        : observers_(observers),
          clock_(clock),
          runNumber_(runNumber),
          outcomeOf_(std::move(outcomeOf)) {}

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
    double SecondsSinceSwitch();

    SessionObservers& observers_;
    Clock& clock_;
    int runNumber_;
    OutcomeBuilder outcomeOf_;
    std::optional<std::uint32_t> firstSwitchTick_;
};

}  // namespace orvalt
