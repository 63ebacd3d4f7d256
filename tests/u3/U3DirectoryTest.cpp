// Several U3s on one bus: listing them by serial number and opening the one a
// fixture is bound to, without disturbing the others.
#include <gtest/gtest.h>

#include <random>

#include "support/SimulatedU3Usb.h"
#include "u3/LabJackU3Daq.h"
#include "u3/U3Directory.h"

namespace orvalt {
namespace {

constexpr std::uint32_t kBay1 = 320011111;
constexpr std::uint32_t kBay2 = 320022222;
constexpr std::uint32_t kBay3 = 320033333;

SimulatedU3Traits WithSerial(std::uint32_t serial) {
    SimulatedU3Traits traits;
    traits.serialNumber = serial;
    return traits;
}

LJ_ERROR OpenBySerial(UdDriverDaq& daq, const char* serial, LJ_HANDLE& handle) {
    return daq.OpenLabJack(LJ_dtU3, LJ_ctUSB, serial, 0, &handle);
}

// Only ConfigU3 reads reached the device: nothing was set up or switched.
bool OnlyAskedForItsSerialNumber(const SimulatedU3Usb& device) {
    for (const auto& command : device.ReceivedCommands()) {
        if (command[3] != u3::kCmdConfigU3 || command[6] != 0 || command[7] != 0) {
            return false;
        }
    }
    return !device.LineIsOutput(kPowerLine) && !device.LineIsOutput(kMarkerLine);
}

class U3BusTest : public ::testing::Test {
  protected:
    SimulatedU3Bus bus;
    std::shared_ptr<SimulatedU3Usb> bay1 = bus.PlugIn(WithSerial(kBay1));
    std::shared_ptr<SimulatedU3Usb> bay2 = bus.PlugIn(WithSerial(kBay2));
    std::shared_ptr<SimulatedU3Usb> bay3 = bus.PlugIn(WithSerial(kBay3));
};

TEST_F(U3BusTest, OpensTheU3AskedForAndReleasesTheOthersUntouched) {
    LabJackU3Daq daq(bus.Connector());
    LJ_HANDLE handle = 0;
    ASSERT_EQ(OpenBySerial(daq, " 320022222 ", handle), LJE_NOERROR);
    ASSERT_TRUE(daq.DeviceInfo(handle));
    EXPECT_EQ(daq.DeviceInfo(handle)->config.serialNumber, kBay2);
    EXPECT_TRUE(bay2->LineIsOutput(kPowerLine));
    EXPECT_TRUE(OnlyAskedForItsSerialNumber(*bay1));
    EXPECT_TRUE(bay3->ReceivedCommands().empty());  // the search stopped at the one wanted

    // The others are free again: a second station takes them, but not bay 2.
    LabJackU3Daq other(bus.Connector());
    LJ_HANDLE otherHandle = 0;
    EXPECT_EQ(OpenBySerial(other, "320011111", otherHandle), LJE_NOERROR);
    EXPECT_EQ(OpenBySerial(other, "320033333", otherHandle), LJE_NOERROR);
    EXPECT_EQ(OpenBySerial(other, "320022222", otherHandle), LJE_DEVICE_ALREADY_OPEN);
}

TEST_F(U3BusTest, AnAbsentSerialNumberIsNotFound) {
    LabJackU3Daq daq(bus.Connector());
    LJ_HANDLE handle = 0;
    for (const char* wanted : {"320044444", "32001111", "3200111110", "abc", "-320011111"}) {
        EXPECT_EQ(OpenBySerial(daq, wanted, handle), LJE_LABJACK_NOT_FOUND) << wanted;
    }
    for (const auto& device : {bay1, bay2, bay3}) {
        EXPECT_TRUE(OnlyAskedForItsSerialNumber(*device));
    }
    bay2->Unplug();
    EXPECT_EQ(OpenBySerial(daq, "320022222", handle), LJE_LABJACK_NOT_FOUND);
}

TEST_F(U3BusTest, EachStationKeepsItsOwnU3AcrossStarts) {
    LabJackU3Daq first(bus.Connector());
    LabJackU3Daq third(bus.Connector());
    LJ_HANDLE firstHandle = 0;
    LJ_HANDLE thirdHandle = 0;
    ASSERT_EQ(OpenBySerial(third, "320033333", thirdHandle), LJE_NOERROR);
    ASSERT_EQ(OpenBySerial(first, "320011111", firstHandle), LJE_NOERROR);
    for (int start = 0; start < 3; ++start) {
        LJ_HANDLE again = 0;
        ASSERT_EQ(OpenBySerial(third, "320033333", again), LJE_NOERROR);
        EXPECT_EQ(again, thirdHandle);
        EXPECT_EQ(third.DeviceInfo(again)->config.serialNumber, kBay3);
    }
    // A station holding one U3 that is asked for another opens that one.
    LJ_HANDLE second = 0;
    ASSERT_EQ(OpenBySerial(first, "320022222", second), LJE_NOERROR);
    EXPECT_NE(second, firstHandle);
    EXPECT_EQ(first.DeviceInfo(second)->config.serialNumber, kBay2);
}

TEST_F(U3BusTest, AU3ThatDoesNotAnswerIsPassedOver) {
    bay1->InjectReplyFault(ReplyFault::dropped);
    LabJackU3Daq daq(bus.Connector());
    LJ_HANDLE handle = 0;
    EXPECT_EQ(OpenBySerial(daq, "320022222", handle), LJE_NOERROR);
    // Not found, but one U3 did not say its number: it may have been the one.
    bay1->InjectReplyFault(ReplyFault::garbage);
    LabJackU3Daq other(bus.Connector());
    EXPECT_EQ(OpenBySerial(other, "320044444", handle), LJE_DEVICE_ALREADY_OPEN);  // bay 2
    bay1->InjectReplyFault(ReplyFault::garbage);
    bay2->Unplug();
    EXPECT_EQ(OpenBySerial(other, "320044444", handle), LJE_COMM_FAILURE);
}

TEST_F(U3BusTest, TheListingShowsEveryU3AndWhichAreHeldElsewhere) {
    LabJackU3Daq holder(bus.Connector());
    LJ_HANDLE handle = 0;
    ASSERT_EQ(OpenBySerial(holder, "320022222", handle), LJE_NOERROR);
    const U3Listing listing = ListU3s(*bus.Connector(), 100);
    EXPECT_EQ(listing.bus, UsbStatus::ok);
    EXPECT_EQ(DescribeU3Listing(listing),
              (std::vector<std::string>{"U3 serial number 320011111: free",
                                        "U3 serial number unknown: held by another program",
                                        "U3 serial number 320033333: free"}));
    // Listing leaves every U3 as it was: free ones can be opened at once.
    EXPECT_TRUE(OnlyAskedForItsSerialNumber(*bay1));
    LabJackU3Daq daq(bus.Connector());
    EXPECT_EQ(OpenBySerial(daq, "320011111", handle), LJE_NOERROR);
}

TEST(U3Listing, SaysSoWhenThereIsNothingToList) {
    SimulatedU3Bus bus;
    EXPECT_EQ(DescribeU3Listing(ListU3s(*bus.Connector(), 100)),
              std::vector<std::string>{"No U3 found."});
    bus.PlugIn(WithSerial(kBay1));
    bus.DenyAccess(true);
    const U3Listing denied = ListU3s(*bus.Connector(), 100);
    EXPECT_EQ(denied.bus, UsbStatus::access);
    EXPECT_EQ(DescribeU3Listing(denied),
              std::vector<std::string>{
                  "U3 serial number unknown: no permission to open it (is the udev rule "
                  "installed?)"});
    LabJackU3Daq daq(bus.Connector());
    LJ_HANDLE handle = 0;
    EXPECT_EQ(OpenBySerial(daq, "320011111", handle), LJE_USB_DRIVER_NOT_FOUND);
}

TEST(SerialNumberText, MatchesOnlyTheNumberInDecimal) {
    std::mt19937 random(14);
    for (int i = 0; i < 1000; ++i) {
        const std::uint32_t serial = random();
        const std::string text = std::to_string(serial);
        EXPECT_TRUE(SerialNumberMatches(text, serial)) << text;
        EXPECT_TRUE(SerialNumberMatches("\t" + text + " ", serial)) << text;
        EXPECT_FALSE(SerialNumberMatches(text, serial + 1)) << text;
        EXPECT_FALSE(SerialNumberMatches(text + "0", serial)) << text;
        EXPECT_FALSE(SerialNumberMatches(text + "x", serial)) << text;
        EXPECT_FALSE(SerialNumberMatches("+" + text, serial)) << text;
    }
    EXPECT_FALSE(SerialNumberMatches("", 0));
    EXPECT_FALSE(SerialNumberMatches("   ", 0));
    EXPECT_FALSE(SerialNumberMatches("4294967296", 0));  // beyond 32 bits, not wrapped
}

}  // namespace
}  // namespace orvalt
