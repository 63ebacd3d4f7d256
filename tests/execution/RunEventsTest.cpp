// Every event of a run is stamped once with its tick and its time since the
// test's first power switch, whichever thread met it: the worker's readings
// and switches, and the diagnostic lines the link's thread hears.

#include "execution/RunEvents.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "diaglink/DiagRecorder.h"

namespace orvalt {
namespace {

using Told = std::pair<std::string, EventTime>;

// What the observers were told, with the times it carried.
class Times final : public SessionObserver {
  public:
    void VoltageRead(const VoltageReading& r) override { told.emplace_back("read", r.time); }
    void PowerSwitched(const PowerSwitch& c) override { told.emplace_back("power", c.time); }
    void MarkerToggled(const MarkerToggle& c) override { told.emplace_back("marker", c.time); }
    void DiagLineDecoded(const DiagLine&, const EventTime& time) override {
        told.emplace_back("diag", time);
    }
    void TestEnded(const TestEnd& test) override { origins.push_back(test.originTick); }

    std::vector<Told> told;
    std::vector<std::optional<std::uint32_t>> origins;
};

struct Rig {
    Rig() { observers.Attach(times); }
    ~Rig() { observers.Detach(times); }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    // Starts 256 ms before the tick count wraps.
    VirtualClock clock{0xFFFFFF00u};
    SessionObservers observers;
    TestOrigin origin;
    Times times;
    RunEvents events{observers, clock, origin, 1};
};

TEST(RunEvents, TimesEachTestFromItsOwnFirstPowerSwitchAcrossTheTickCountsWrapAndRuns) {
    Rig rig;
    RunEvents& events = rig.events;
    events.RunStarted();
    events.TestStarted(0);
    events.MarkerToggled(1);  // before the first switch: at 0, its tick kept
    rig.clock.SleepMs(100);
    events.PowerSwitched(1, true);
    rig.clock.SleepMs(200);
    events.VoltageRead(1.0, "ok");  // past the wrap
    events.PowerSwitched(0, true);  // a later switch moves nothing
    events.TestEnded(TestEnd{}, nullptr);
    rig.clock.SleepMs(50);
    events.MarkerToggled(0);  // between tests: still timed from the test that ended
    events.TestStarted(1);
    events.VoltageRead(std::nullopt, "failed");
    rig.clock.SleepMs(30);
    events.PowerSwitched(1, false);  // a refused switch is the origin all the same
    rig.clock.SleepMs(5);
    events.MarkerToggled(1);
    events.TestEnded(TestEnd{}, nullptr);
    RunEvents next{rig.observers, rig.clock, rig.origin, 2};
    next.RunStarted();
    next.VoltageRead(1.0, "ok");  // a new run starts without the last run's origin

    const std::vector<Told> expected{
        {"marker", {0xFFFFFF00u, 0}},  {"power", {0xFFFFFF64u, 0}},    {"read", {0x0000002Cu, 200}},
        {"power", {0x0000002Cu, 200}}, {"marker", {0x0000005Eu, 250}}, {"read", {0x0000005Eu, 0}},
        {"power", {0x0000007Cu, 0}},   {"marker", {0x00000081u, 5}},   {"read", {0x00000081u, 0}},
    };
    EXPECT_EQ(rig.times.told, expected);
    EXPECT_EQ(rig.times.origins,
              (std::vector<std::optional<std::uint32_t>>{0xFFFFFF64u, 0x0000007Cu}));
}

// The link's thread stamps its lines from the origin the worker set, and a
// line read just before a switch but stamped after it lies just before it.
TEST(RunEvents, ADiagnosticLineHeardOnTheLinksThreadIsTimedFromTheSameOrigin) {
    Rig rig;
    DiagTable table;
    DiagRecorder link(table, rig.clock, rig.observers, rig.origin);
    rig.events.RunStarted();
    rig.events.TestStarted(0);
    rig.clock.SleepMs(10);
    rig.events.PowerSwitched(1, true);
    rig.clock.SleepMs(75);
    std::thread([&link] { link.Record("1F4 3 2"); }).join();
    rig.origin.SwitchedAt(0);  // a test has one origin; this changes nothing
    EXPECT_EQ(rig.origin.Stamp(0xFFFFFF00u).ms, -10);
    ASSERT_EQ(rig.times.told.size(), 2u);
    EXPECT_EQ(rig.times.told[1], (Told{"diag", {0xFFFFFF55u, 75}}));
}

}  // namespace
}  // namespace orvalt
