#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "diaglink/CDiagCommPort.h"
#include "domain/MessageQueue.h"
#include "station/Station.h"

namespace orvalt {
namespace {

using namespace std::chrono_literals;

// In real-time simulation the simulated driver talks through a pseudo-terminal,
// and the station hears it through the real serial link, as it would a device.
TEST(Station, SimulatedDriverIsHeardThroughTheRealLinkOnItsPseudoTerminal) {
    UnitProfile unit;
    unit.diagPeriodMs = 20;
    Station station(StationOptions{true, false, unit, {}});
    const auto port = station.WriteSimulatedDiagLinesToPort();
    ASSERT_TRUE(port);
    EXPECT_EQ(port->number, 64);

    MessageQueue queue;
    CDiagCommPort link;
    ASSERT_TRUE(link.OpenLink(queue.MakeTarget(), port->path, 115200)) << link.LastOpenError();
    LJ_HANDLE handle = 0;
    ASSERT_EQ(station.GetDaq().Open("", &handle), LJE_NOERROR);
    ASSERT_EQ(station.GetDaq().SwitchPower(handle, 1), LJE_NOERROR);

    std::vector<std::string> lines;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (lines.size() < 3 && std::chrono::steady_clock::now() < deadline) {
        if (auto message = queue.WaitPop(50ms)) {
            if (const auto* line = std::get_if<DiagLineMessage>(&*message))
                lines.push_back(line->line.bytes);
            queue.DoneHandling();
        }
    }
    link.ClearNotificationWindow();
    link.CloseLink();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "200 2 0");  // delay 512, value 2, level 1 (0-based)
}

TEST(Station, VirtualTimeRunsOnlyOnTheSimulator) {
    Station simulated(StationOptions{true, true, {}, {}});
    EXPECT_NE(simulated.Virtual(), nullptr);
    EXPECT_TRUE(simulated.Simulated());
    Station real(StationOptions{false, true, {}, {}});
    EXPECT_EQ(real.Virtual(), nullptr);
    EXPECT_FALSE(real.Simulated());
}

}  // namespace
}  // namespace orvalt
