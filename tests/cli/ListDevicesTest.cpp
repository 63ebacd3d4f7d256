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
    const struct {
        std::string name;
        std::string reason;
    } bad[] = {{"", "empty"},
               {"Bay\\2", "backslash"},
               {"Bay\x1b[2J", "control character"},
               {std::string(101, 'b'), "longer than 100"}};
    for (const auto& [name, reason] : bad) {
        const CliParseResult parsed = ParseCliOptions({"--fixture", name, "p.csv"});
        EXPECT_FALSE(parsed.options) << name;
        EXPECT_NE(parsed.error.find(reason), std::string::npos) << parsed.error;
        EXPECT_EQ(parsed.error.find('\x1b'), std::string::npos);  // not echoed to the terminal
    }
}

TEST(ListDevicesOption, NeedsNoPlanAndRunsNone) {
    const CliOptions listing = Parsed({"--list-devices", "--fixture", "Bay 2"});
    EXPECT_TRUE(listing.listDevices);
    EXPECT_EQ(listing.fixture, "Bay 2");
    EXPECT_FALSE(ParseCliOptions({"--list-devices", "p.csv"}).options);
    EXPECT_FALSE(ParseCliOptions({}).options);  // without it a plan is still needed
}

TEST(ListDevices, PrintsEachU3WithItsNumberAndWhetherItIsHeld) {
    SimulatedU3Bus bus;
    SimulatedU3Traits first;
    first.serialNumber = 320011111;
    SimulatedU3Traits second;
    second.serialNumber = 320022222;
    bus.PlugIn(first);
    bus.PlugIn(second);
    std::uint64_t generation = 0;
    auto held = bus.PlugIn(SimulatedU3Traits{});
    ASSERT_EQ(held->Claim(generation), UsbStatus::ok);  // another program has it

    std::ostringstream out;
    EXPECT_EQ(ListDevices(Parsed({"--list-devices"}), *bus.Connector(), out), kExitRanToEnd);
    EXPECT_EQ(out.str(),
              "U3 serial number 320011111: free\n"
              "U3 serial number 320022222: free\n"
              "U3 serial number unknown: held by another program\n");

    SimulatedU3Bus empty;
    std::ostringstream none;
    EXPECT_EQ(ListDevices(Parsed({"--list-devices"}), *empty.Connector(), none), kExitRanToEnd);
    EXPECT_EQ(none.str(), "No U3 found.\n");
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
