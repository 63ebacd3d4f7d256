#pragma once
// The trace's times as the record keeps them: milliseconds since the test's
// first power switch, from the station's wrapping millisecond tick. Trace
// events of a test that has not switched its power yet are held until that
// switch gives them their time; a test that ends without one times them from
// its first event. Between tests the last origin still counts. Runs on the
// writer's side, in the order the events were handed over.

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "recording/StampedEvents.h"

namespace orvalt {

class TraceTimes {
  public:
    void RunBegan() { origin_.reset(); }
    void TestBegan() { testHasOrigin_ = false; }
    // Adds the trace event (its ms still empty) timed, or holds it. A power
    // switch in a test without an origin yet becomes the origin.
    void Time(RecordEvent event, std::uint32_t tick, bool inTest, bool powerSwitch,
              StampedEvents& out);
    // At a test's start or end: what is held is added, timed.
    void Release(StampedEvents& out);

  private:
    std::optional<std::uint32_t> origin_;
    bool testHasOrigin_ = false;
    std::vector<std::pair<RecordEvent, std::uint32_t>> held_;
};

}  // namespace orvalt
