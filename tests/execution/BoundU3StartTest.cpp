// Start on a station bound to one U3 by its serial number.

#include <gtest/gtest.h>

#include <chrono>

#include "domain/MessageQueue.h"
#include "execution/LabJackOpenText.h"
#include "execution/RunControl.h"
#include "sim/SimulatedU3.h"

namespace orvalt {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kSerial = 320012345;

class BoundU3StartTest : public ::testing::Test {
  protected:
    // Handles posts until the run is over; false if it does not end in time.
    bool PumpUntilRunOver() {
        const auto end = std::chrono::steady_clock::now() + 20s;
        while (control.Running() || queue.Pending() != 0) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            if (auto message = queue.WaitPop(5ms)) {
                control.OnProgress(*message);
                queue.DoneHandling();
            }
        }
        return true;
    }

    SettingsRecord settings;
    SimulatedUnit unit{UnitProfile{}};
    RealClock clock;
    SimulatedU3 device{unit, clock, kSerial};
    MessageQueue queue;
    WindowHandle window = queue.MakeTarget();
    WindowModel model;
    RunState runState;
    DiagTable diagTable;
    SummaryLines summary;
    std::int32_t marker = 1;
    TestPlan plan;
    std::vector<std::string> messageBoxes;
    RunControl control{
        model, StationIo{&device, &clock, &settings, &diagTable, &summary, &marker}, runState,
        window,
        RunControlHooks{[] { return true; },
                        [this](const std::string& t) { messageBoxes.push_back(t); }}};
};

TEST_F(BoundU3StartTest, AMissingU3RefusesStartAndNamesTheNumberLookedFor) {
    control.SetTestPlan(&plan);
    settings.U3SerialNumber = "320099999";
    control.OnStartStop();
    EXPECT_FALSE(control.RunStarted());
    EXPECT_EQ(messageBoxes,
              std::vector<std::string>{"Can't open LabJack for voltage measurement. Code 1007\n"
                                       "The U3 looked for has serial number 320099999."});
}

TEST_F(BoundU3StartTest, TheU3WithThatNumberIsOpened) {
    control.SetTestPlan(&plan);
    settings.U3SerialNumber = "320012345";
    control.OnStartStop();
    EXPECT_TRUE(control.RunStarted());
    EXPECT_TRUE(messageBoxes.empty());
    EXPECT_TRUE(PumpUntilRunOver());
}

TEST(LabJackOpenText, WithoutASerialNumberItIsTheOneLineAsBefore) {
    EXPECT_EQ(LabJackOpenFailureText(1010, ""),
              "Can't open LabJack for voltage measurement. Code 1010");
    EXPECT_EQ(LabJackOpenFailureText(1012, " \t"),
              "Can't open LabJack for voltage measurement. Code 1012");
    EXPECT_EQ(LabJackOpenFailureText(1008, "320000001"),
              "Can't open LabJack for voltage measurement. Code 1008\n"
              "The U3 looked for has serial number 320000001.");
}

}  // namespace
}  // namespace orvalt
