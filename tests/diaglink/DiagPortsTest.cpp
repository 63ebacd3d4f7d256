#include "diaglink/DiagPorts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvalt {
namespace {

using ::testing::Optional;

TEST(DiagPorts, MapsDeviceNamesToStableNumbersBothWays) {
    const std::vector<std::pair<const char*, std::int32_t>> mapped{
        {"/dev/ttyS0", 1},     {"/dev/ttyS15", 16},  {"/dev/ttyUSB0", 17},
        {"/dev/ttyUSB15", 32}, {"/dev/ttyACM0", 33}, {"/dev/ttyACM15", 48}};
    for (const auto& [path, number] : mapped) {
        EXPECT_EQ(CommPortNumberForPath(path), number) << path;
        EXPECT_THAT(DevicePathForCommPort(number), Optional(std::string(path)));
    }
    for (const char* path : {"/dev/ttyS16", "/dev/ttyUSB01", "/dev/ttyUSB", "/dev/ttyUSB-1",
                             "/dev/ttyAMA0", "/dev/pts/3", "ttyUSB0", "/dev/ttyUSB0x"}) {
        EXPECT_EQ(CommPortNumberForPath(path), 0) << path;
    }
    for (std::int32_t number : {0, -1, 49, 63, kSimulatorCommPort}) {
        EXPECT_EQ(DevicePathForCommPort(number), std::nullopt) << number;
    }
}

TEST(DiagPorts, LabelsCarryTheDescriptionOnlyWhenItSaysMore) {
    EXPECT_EQ(PortLabel("/dev/ttyUSB0", "FT232R USB UART"), "/dev/ttyUSB0 (FT232R USB UART)");
    EXPECT_EQ(PortLabel("/dev/ttyS0", "ttyS0"), "/dev/ttyS0");
    EXPECT_EQ(PortLabel("/dev/ttyS0", ""), "/dev/ttyS0");
}

TEST(DiagPorts, TheListHoldsTheExtraPortsAndThePreselectionFollowsCommPort) {
    const DiagPort simulator{"/dev/pts/9", "/dev/pts/9 (simulated driver)", kSimulatorCommPort};
    const auto ports = ListDiagPorts({simulator});
    ASSERT_FALSE(ports.empty());
    const auto found = std::find_if(ports.begin(), ports.end(),
                                    [](const DiagPort& p) { return p.path == "/dev/pts/9"; });
    ASSERT_NE(found, ports.end());
    EXPECT_EQ(found->label, simulator.label);
    for (const auto& port : ports) {
        EXPECT_TRUE(port.number == kSimulatorCommPort ||
                    port.number == CommPortNumberForPath(port.path))
            << port.path;
    }
    EXPECT_THAT(InitialPortSelection(ports, kSimulatorCommPort),
                Optional(static_cast<std::size_t>(found - ports.begin())));
}

TEST(DiagPorts, PreselectsTheMatchingNumberElseTheFirstAndNeverByNumberZero) {
    const std::vector<DiagPort> ports{{"/dev/ttyS0", "/dev/ttyS0", 1},
                                      {"/dev/ttyUSB1", "/dev/ttyUSB1", 18},
                                      {"/dev/ttyX", "x", 0}};
    EXPECT_THAT(InitialPortSelection(ports, 18), Optional(1u));
    EXPECT_THAT(InitialPortSelection(ports, 5), Optional(0u));
    EXPECT_THAT(InitialPortSelection({ports[2], ports[0]}, 0), Optional(0u));
    EXPECT_EQ(InitialPortSelection({}, 1), std::nullopt);
}

TEST(DiagPorts, ResolvesACommandLinePortByPathOrNumber) {
    const std::vector<DiagPort> ports{{"/dev/pts/4", "sim", kSimulatorCommPort}};
    EXPECT_THAT(ResolvePortArgument("64", ports)->path, "/dev/pts/4");
    EXPECT_THAT(ResolvePortArgument("17", ports)->path, "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortArgument("/dev/ttyACM2", ports)->number, 35);
    EXPECT_EQ(ResolvePortArgument("/dev/pts/4", ports)->number, kSimulatorCommPort);
    EXPECT_EQ(ResolvePortArgument("60", ports), std::nullopt);
    EXPECT_EQ(ResolvePortArgument("", ports), std::nullopt);
}

}  // namespace
}  // namespace orvalt
