// The simulated U3 of a fixture: a number of its own that stays put, an open
// by serial number that behaves as a real U3's, and the number and firmware
// it tells the run records once open.

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
    // Not open, nothing to tell the record; once open, its own number.
    EXPECT_EQ(device.Identity(1).serial, "");
    EXPECT_EQ(device.Identity(1).firmware, "");
    EXPECT_EQ(device.OpenLabJack(LJ_dtU3, LJ_ctUSB, " 320278249", 0, &handle), LJE_NOERROR);
    EXPECT_EQ(device.Identity(handle).serial, "320278249");
    EXPECT_EQ(device.Identity(handle).firmware, "1.46");
    EXPECT_EQ(device.Identity(handle + 1).serial, "");
    // First found, or an address of blanks: any U3, so this one.
    EXPECT_EQ(device.OpenLabJack(LJ_dtU3, LJ_ctUSB, "329945380", 1, &handle), LJE_NOERROR);
    EXPECT_EQ(device.OpenLabJack(LJ_dtU3, LJ_ctUSB, "  ", 0, &handle), LJE_NOERROR);
    EXPECT_EQ(SimulatedU3(unit, clock).SerialNumber(), kUnnamedSimulatedSerial);
}

// The station's own calls, as the UD driver's: Open binds to the number unless
// it asks for any U3, the light level is AIN0, power is line 4, the marker 5.
TEST(SimulatedSerialNumber, TheStationsCallsReachTheU3AsTheDriversCalls) {
    SimulatedUnit unit{UnitProfile{}};
    VirtualClock clock;
    SimulatedU3 device(unit, clock, SimulatedSerialNumber("Bay 2"));
    Daq& daq = device;
    LJ_HANDLE handle = 0;
    EXPECT_EQ(daq.Open("329945380", &handle), LJE_LABJACK_NOT_FOUND);
    EXPECT_EQ(daq.Open("320278249", &handle), LJE_NOERROR);
    ASSERT_EQ(daq.Open("", &handle), LJE_NOERROR);
    EXPECT_EQ(daq.SwitchPower(handle, 1), LJE_NOERROR);
    EXPECT_TRUE(unit.Powered());
    EXPECT_EQ(daq.SetMarker(handle, 1), LJE_NOERROR);
    EXPECT_TRUE(unit.Powered());  // the marker is not the power line
    EXPECT_EQ(daq.SwitchPower(handle, 0), LJE_NOERROR);
    EXPECT_FALSE(unit.Powered());
    EXPECT_EQ(device.MarkerWrites(), std::vector<std::int32_t>{1});
    double volts = -5.0;
    EXPECT_EQ(daq.ReadLightLevel(handle, &volts), LJE_NOERROR);
    EXPECT_NE(volts, -5.0);
}

}  // namespace
}  // namespace orvalt
