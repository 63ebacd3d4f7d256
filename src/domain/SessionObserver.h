#pragma once
// What a station session tells the consumers attached to it (run recording, a
// live plot, verdicts): runs, tests, every reading and switch of the device,
// and every decoded diagnostic line, each as it happens.
//
// Threads: the run, test and device events come from the run's worker thread,
// in the order they happen; the diagnostic lines come from the link's dispatch
// thread (or the simulated driver's carrier). Events are delivered one at a
// time under one lock, so an observer needs no lock of its own for them, but
// it must return quickly (the worker waits for it) and must never attach or
// detach an observer from inside an event.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "domain/DiagLine.h"
#include "domain/TestMeasurements.h"
#include "domain/TestOrigin.h"
#include "domain/TestOutcome.h"

namespace orvalt {

// How a run ended.
enum class RunEnd {
    Completed,  // every test of the plan ran
    Abandoned,  // a test was abandoned (the device failed), the rest skipped
    Stopped,    // the operator stopped it
};

struct TestStart {
    int runNumber = 0;
    int row = 0;  // the test's row in the test list
};

struct TestEnd {
    int runNumber = 0;
    int row = 0;
    bool completed = false;
    // The summary line the test logged; empty when it did not complete.
    std::string summaryLine;
    TestMeasurements measurements;
    // Which figures the measurements hold: a cycle-mode test (P1 not 0) ran to
    // the Time-to-OFF cycle `cycles` and cut its power at level
    // `switchOffLevel` (both 1..4); an on/off repetition test has neither.
    bool cycleMode = true;
    int cycles = 1;
    int switchOffLevel = 1;
    // The tick of the test's first power switch, which its crossings are
    // placed from; none when it never switched.
    std::optional<std::uint32_t> originTick;
    // Built from the above by the session before the end is told; what every
    // reader shows of the test.
    TestOutcome outcome;
};

// Each event below carries when it happened (see TestOrigin.h).
struct VoltageReading {
    EventTime time;
    // Nothing when the reading failed.
    std::optional<double> volts;
    // The text the row's Status cell shows for it.
    std::string status;
};

struct PowerSwitch {
    EventTime time;
    std::int32_t state = 0;  // 0 = OFF, 1 = ON
    bool ok = true;          // false: the device refused it
};

struct MarkerToggle {
    EventTime time;
    std::int32_t level = 0;  // what line 5 was set to
};

class SessionObserver {
  public:
    virtual ~SessionObserver() = default;
    // The worker's thread.
    virtual void RunStarted(int /*runNumber*/) {}
    virtual void RunEnded(int /*runNumber*/, RunEnd /*how*/) {}
    virtual void TestStarted(const TestStart& /*test*/) {}
    virtual void TestEnded(const TestEnd& /*test*/) {}
    virtual void VoltageRead(const VoltageReading& /*reading*/) {}
    virtual void PowerSwitched(const PowerSwitch& /*change*/) {}
    virtual void MarkerToggled(const MarkerToggle& /*change*/) {}
    // The link's dispatch thread.
    virtual void DiagLineDecoded(const DiagLine& /*line*/, const EventTime& /*time*/) {}
};

}  // namespace orvalt
