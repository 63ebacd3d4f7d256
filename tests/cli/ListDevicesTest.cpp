// orvalt-cli's --fixture and --list-devices.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/CliOptions.h"
#include "cli/HeadlessRunner.h"
#include "cli/ListDevices.h"
#include "support/SimulatedU3Usb.h"

namespace orvalt {
namespace {

CliOptions Parsed(const std::vector<std::string>& args) {
    const CliParseResult parsed = ParseCliOptions(args);
    EXPECT_TRUE(parsed.options) << parsed.error;
    return parsed.options.value_or(CliOptions{});
}

TEST(FixtureOption, TakesANameAKeyCanHoldAndSaysWhyItRefusesOne) {
    EXPECT_EQ(Parsed({"--fixture", "Bay 2", "p.csv"}).fixture, "Bay 2");
    EXPECT_EQ(Parsed({"p.csv"}).fixture, "");
    // Which names are refused is the fixture name's own rule (tests/settings);
    // here: the reason reaches the message, the raw name does not.
    const CliParseResult parsed = ParseCliOptions({"--fixture", "Bay\x1b[2J", "p.csv"});
    EXPECT_FALSE(parsed.options);
    EXPECT_NE(parsed.error.find("control character"), std::string::npos) << parsed.error;
    EXPECT_EQ(parsed.error.find('\x1b'), std::string::npos);
}

TEST(ListDevicesOption, NeedsNoPlanAndRunsNone) {
    const CliOptions listing = Parsed({"--list-devices", "--fixture", "Bay 2"});
    EXPECT_TRUE(listing.listDevices);
    EXPECT_EQ(listing.fixture, "Bay 2");
    EXPECT_FALSE(ParseCliOptions({"--list-devices", "p.csv"}).options);
    EXPECT_FALSE(ParseCliOptions({}).options);  // without it a plan is still needed
}

// The lines themselves are the U3 stack's (tests/u3); here only what the
// command adds: its exit status.
TEST(ListDevices, ExitsWithTheDeviceStatusWhenUsbCannotBeSearched) {
    SimulatedU3Bus bus;
    bus.PlugIn(SimulatedU3Traits{});
    std::ostringstream out;
    EXPECT_EQ(ListDevices(Parsed({"--list-devices"}), *bus.Connector(), out), kExitRanToEnd);
    EXPECT_EQ(out.str(), "U3 serial number 320000001: free\n");
    bus.DenyAccess(true);
    EXPECT_EQ(ListDevices(Parsed({"--list-devices"}), *bus.Connector(), out), kExitDeviceNotOpened);
}

TEST(ListDevices, WithTheSimulatorShowsTheFixturesSimulatedU3) {
    SimulatedU3Bus bus;
    std::ostringstream out;
    EXPECT_EQ(ListDevices(Parsed({"--list-devices", "--simulate", "--fixture", "Bay 2"}),
                          *bus.Connector(), out),
              kExitRanToEnd);
    EXPECT_EQ(out.str(), "U3 serial number 320278249: free (simulated)\n");
}

}  // namespace
}  // namespace orvalt
