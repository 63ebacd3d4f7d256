// The simulated U3 of a fixture: a number of its own that stays put, and an
// open by serial number that behaves as a real U3's.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/Clock.h"
#include "sim/SimulatedSerialNumber.h"
#include "sim/SimulatedU3.h"
#include "sim/SimulatedUnit.h"

namespace orvalt {
namespace {

TEST(SimulatedSerialNumber, IsStableDistinctAndShapedLikeAU3s) {
    // The numbers are part of a fixture's set-up (U3SerialNumber may name
    // them), so they must not change from one version to the next.
    EXPECT_EQ(SimulatedSerialNumber("Bay 1"), 329945380u);
    EXPECT_EQ(SimulatedSerialNumber("Bay 2"), 320278249u);
    EXPECT_EQ(SimulatedSerialNumber(""), kUnnamedSimulatedSerial);

    std::set<std::uint32_t> seen{kUnnamedSimulatedSerial};
    std::vector<std::string> names;
    for (int i = 1; i <= 64; ++i) {
        names.push_back("Bay " + std::to_string(i));
        names.push_back("Line" + std::to_string(i));
    }
    for (char c = 'A'; c <= 'Z'; ++c) {
        names.emplace_back(1, c);
    }
    for (const std::string& name : names) {
        const std::uint32_t serial = SimulatedSerialNumber(name);
        EXPECT_GE(serial, 320000002u) << name;
        EXPECT_LE(serial, 329999999u) << name;
        EXPECT_TRUE(seen.insert(serial).second) << name << " shares " << serial;
        EXPECT_EQ(SimulatedSerialNumber(name), serial) << name;
    }
}

TEST(SimulatedSerialNumber, TheSimulatedU3OpensOnlyUnderItsOwnNumber) {
    SimulatedUnit unit{UnitProfile{}};
    VirtualClock clock;
    SimulatedU3 device(unit, clock, SimulatedSerialNumber("Bay 2"));
    EXPECT_EQ(device.SerialNumber(), 320278249u);
    LJ_HANDLE handle = 0;
    EXPECT_EQ(device.OpenLabJack(LJ_dtU3, LJ_ctUSB, "329945380", 0, &handle),
              LJE_LABJACK_NOT_FOUND);
    EXPECT_EQ(device.OpenLabJack(LJ_dtU3, LJ_ctUSB, " 320278249", 0, &handle), LJE_NOERROR);
    // First found, or an address of blanks: any U3, so this one.
    EXPECT_EQ(device.OpenLabJack(LJ_dtU3, LJ_ctUSB, "329945380", 1, &handle), LJE_NOERROR);
    EXPECT_EQ(device.OpenLabJack(LJ_dtU3, LJ_ctUSB, "  ", 0, &handle), LJE_NOERROR);
    EXPECT_EQ(SimulatedU3(unit, clock).SerialNumber(), kUnnamedSimulatedSerial);
}

}  // namespace
}  // namespace orvalt
