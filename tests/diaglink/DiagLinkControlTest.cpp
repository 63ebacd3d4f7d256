#include "diaglink/DiagLinkControl.h"

#include <gtest/gtest.h>

#include "LinkHarness.h"

namespace orvalt::testing {
namespace {

class DiagLinkControlTest : public ::testing::Test {
  protected:
    DiagLinkControlTest() {
        port = DiagPort{harness.pty->SlavePath(), "sim", kSimulatorCommPort};
        settings.CommPort = 3;
        settings.BaudRate = 4800;
    }

    LinkHarness harness;
    CDiagCommPort link;
    SettingsRecord settings;
    DiagLinkControl control{link, settings};
    DiagPort port;
};

TEST_F(DiagLinkControlTest, OpensStoresThePortAndCarriesLinesThenCloses) {
    EXPECT_EQ(control.OnDiagOpen(harness.window, &port, 9600), DiagOpenOutcome::Opened);
    EXPECT_TRUE(control.LinkOpen());
    EXPECT_EQ(settings.CommPort, kSimulatorCommPort);
    EXPECT_EQ(settings.BaudRate, 9600);
    harness.Send("1 2 3\nEND\n");
    EXPECT_EQ(LineBytes(harness.CollectUntilLine("END")), std::vector<std::string>{"1 2 3"});
    EXPECT_EQ(control.OnDiagOpen(harness.window, &port, 9600), DiagOpenOutcome::Closed);
    EXPECT_FALSE(control.LinkOpen());
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(DiagLinkControlTest, DoesNothingWithoutAPortOrWithABadBaudRateField) {
    EXPECT_EQ(control.OnDiagOpen(harness.window, nullptr, 9600), DiagOpenOutcome::Unchanged);
    EXPECT_EQ(control.OnDiagOpen(harness.window, &port, std::nullopt), DiagOpenOutcome::Unchanged);
    EXPECT_EQ(settings.CommPort, 3);
    ASSERT_EQ(control.OnDiagOpen(harness.window, &port, 9600), DiagOpenOutcome::Opened);
    EXPECT_EQ(control.OnDiagOpen(harness.window, &port, std::nullopt), DiagOpenOutcome::Unchanged);
    EXPECT_TRUE(link.IsOpen());
}

TEST_F(DiagLinkControlTest, AFailedOpeningStillStoresWhatWasEntered) {
    ASSERT_TRUE(harness.Open());  // the port is now in use
    EXPECT_EQ(control.OnDiagOpen(harness.window, &port, 19200), DiagOpenOutcome::OpenFailed);
    EXPECT_EQ(settings.CommPort, kSimulatorCommPort);
    EXPECT_EQ(settings.BaudRate, 19200);
    EXPECT_FALSE(control.LinkOpen());
    harness.link.CloseLink();
    EXPECT_EQ(control.OnDiagOpen(harness.window, &port, 0), DiagOpenOutcome::OpenFailed);
    EXPECT_EQ(settings.BaudRate, 0);
    EXPECT_STREQ(kCommPortOpenFailedText, "Comm port open failed");
}

}  // namespace
}  // namespace orvalt::testing
