#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "execution/VoltageChange.h"
#include "support/ScriptedStation.h"

namespace orvalt {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::ScriptedDaq;
using testing::ScriptedStation;

constexpr int kRow = 2;

bool Detect(ScriptedStation& station, double reference) {
    bool result = false;
    station.harness.RunOnWorker([&] {
        result = ReadUntilVoltageChanges(station.run, ScriptedDaq::kHandle, kRow, reference);
    });
    return result;
}

TEST(VoltageChange, StopsAtTheFirstReadingFarEnoughFromTheReference) {
    ScriptedStation station;
    station.settings.voltageDeltaForOff = 0.5;
    station.daq.Add({3.9, 3.8, 1.2, 1.2});

    EXPECT_TRUE(Detect(station, 4.0));

    EXPECT_EQ(station.daq.ReadCount(), 3u);
    EXPECT_THAT(station.harness.Texts(ProgressStatus, kRow),
                ElementsAre("Reading voltage = 3.90 #4", "Reading voltage = 3.80 #5",
                            "Reading voltage = 1.20 #6"));
    EXPECT_THAT(station.harness.Texts(ProgressWait, kRow),
                ElementsAre("Wait 0.25 secs for voltage change #4",
                            "Wait 0.25 secs for voltage change #5"));
    EXPECT_THAT(station.harness.Texts(ProgressLog), IsEmpty());
    EXPECT_EQ(station.harness.Clock().ElapsedMs(), 500u);
}

TEST(VoltageChange, ReadingsThatNeverMoveRunOutAfterTwentyOne) {
    ScriptedStation station;
    station.daq.Add({4.0});

    EXPECT_TRUE(Detect(station, 4.0));

    EXPECT_EQ(station.daq.ReadCount(), 21u);
    const auto waits = station.harness.Texts(ProgressWait, kRow);
    ASSERT_EQ(waits.size(), 21u);
    EXPECT_EQ(waits.back(), "Wait 0.25 secs for voltage change #24");
    EXPECT_EQ(station.harness.Texts(ProgressStatus, kRow).back(), "Reading voltage = 4.00 #24");
}

TEST(VoltageChange, EitherDirectionCountsAndTheNeededStepItselfIsEnough) {
    for (double reading : {4.6, 3.5, 4.5}) {
        ScriptedStation station;
        station.settings.voltageDeltaForOff = 0.5;
        station.daq.Add({reading});

        EXPECT_TRUE(Detect(station, 4.0));
        EXPECT_EQ(station.daq.ReadCount(), 1u) << reading;
    }
}

TEST(VoltageChange, ExtraLogShowsEachComparisonInTheLogAndAsTheWaitLabel) {
    ScriptedStation station;
    station.run.extraLog = 1;
    station.settings.voltageDeltaForOff = 0.5;
    station.daq.Add({3.9, 4.6});

    EXPECT_TRUE(Detect(station, 4.0));

    EXPECT_THAT(
        station.harness.Texts(ProgressLog),
        ElementsAre("[Starting read until voltage changes]", "Reading voltage = 3.90 #4",
                    "voltage=3.90 ref=4.00 delta=0.10 needed=0.50", "Reading voltage = 4.60 #5",
                    "voltage=4.60 ref=4.00 delta=-0.60 needed=0.50"));
    EXPECT_THAT(station.harness.Texts(ProgressWait, kRow),
                ElementsAre("Wait 0.25 secs for voltage=3.90 ref=4.00 delta=0.10 needed=0.50"));
}

TEST(VoltageChange, FailedReadingAbandons) {
    ScriptedStation station;
    station.daq.Add({4.0});
    station.daq.AddError(LJE_COMM_TIMEOUT);

    EXPECT_FALSE(Detect(station, 4.0));

    EXPECT_EQ(station.daq.ReadCount(), 2u);
    EXPECT_EQ(station.harness.Texts(ProgressStatus, kRow).back(),
              "LabJack voltage read failed. Code 1011");
}

TEST(VoltageChange, ARealReadingOfMinusOneVoltIsAReading) {
    ScriptedStation station;
    station.daq.Add({-1.0});

    EXPECT_TRUE(Detect(station, 4.0));
    EXPECT_EQ(station.daq.ReadCount(), 1u);
}

TEST(VoltageChange, StopIsSeenAfterTheWaitThatFollowsAReading) {
    ScriptedStation station;
    station.daq.Add({4.0});
    station.harness.SetOnMessage([&](const PostedMessage& m) {
        if (m.payload == "Wait 0.25 secs for voltage change #6") {
            station.PressStop();
        }
    });

    EXPECT_FALSE(Detect(station, 4.0));
    EXPECT_EQ(station.daq.ReadCount(), 3u);
}

}  // namespace
}  // namespace orvalt
