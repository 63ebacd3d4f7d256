// Opening a serial device: the speeds it takes and who else holds it.
#include "platform/SerialDevice.h"

#include <gtest/gtest.h>

#include "platform/DeviceHolders.h"
#include "platform/PseudoTerminal.h"
#include "platform/SerialSpeed.h"
#include "support/PortHolder.h"

namespace orvalt {
namespace {

// A pseudo-terminal takes any speed, as a UART with a fine divisor would, so
// every rate the station offers must open and read back as asked: those of
// the termios table and those only termios2 can set.
TEST(SerialSpeed, OpensAtTableAndOtherRatesAndReadsThemBack) {
    auto pty = PseudoTerminal::Open();
    ASSERT_TRUE(pty);
    for (const std::int32_t rate :
         {9600, 115200, 4000000, 14400, 56000, 128000, 256000, 12345, 31250, 7}) {
        const auto opened = OpenSerialDevice(pty->SlavePath(), rate);
        ASSERT_TRUE(opened.Ok()) << rate << ": " << opened.Error().step;
        const auto rates = ReadBaudRates(opened->Get());
        ASSERT_TRUE(rates) << rate;
        EXPECT_EQ(rates->input, static_cast<std::uint32_t>(rate));
        EXPECT_EQ(rates->output, static_cast<std::uint32_t>(rate));
        EXPECT_EQ(BaudRateConstant(rate).has_value(),
                  rate == 9600 || rate == 115200 || rate == 4000000);
    }
    for (const std::int32_t refused : {0, -9600}) {
        const auto opened = OpenSerialDevice(pty->SlavePath(), refused);
        ASSERT_FALSE(opened.Ok()) << refused;
        EXPECT_EQ(opened.Error().step, "baud rate");
    }
}

// A terminal program's plain open() does not keep the station out by itself;
// the station must see it and refuse, naming it, until it has gone. This
// process's own descriptors (the pseudo-terminal keeps one) never count.
TEST(SerialHolders, AnotherProcessHoldingThePortIsNamedAndRefused) {
    auto pty = PseudoTerminal::Open();
    ASSERT_TRUE(pty);
    test::PortHolder holder(pty->SlavePath());
    ASSERT_NE(holder.Pid(), 0);
    const auto refused = OpenSerialDevice(pty->SlavePath(), 115200);
    ASSERT_FALSE(refused.Ok());
    EXPECT_EQ(refused.Error().detail,
              "also open in process " + std::to_string(holder.Pid()) + " (sleep)");

    holder.End();
    const auto opened = OpenSerialDevice(pty->SlavePath(), 115200);
    ASSERT_TRUE(opened.Ok()) << opened.Error().step << " " << opened.Error().detail;
    EXPECT_TRUE(OtherHoldersOf(opened->Get()).empty());
}

}  // namespace
}  // namespace orvalt
