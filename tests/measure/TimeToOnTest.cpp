#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "execution/TestMeasurements.h"
#include "execution/TimeToOn.h"
#include "support/ScriptedStation.h"

namespace orvalt {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::ScriptedDaq;
using testing::ScriptedStation;

constexpr double kUntouched = 123.0;

struct TimeToOnRun {
    bool result = false;
    double timeToOn = kUntouched;
};

TimeToOnRun Measure(ScriptedStation& station, int seconds) {
    TimeToOnRun out;
    station.harness.RunOnWorker([&] {
        out.result = MeasureTimeToOn(station.run, ScriptedDaq::kHandle, seconds, out.timeToOn);
    });
    return out;
}

TEST(TimeToOn, ListsReadingsUpToTheThresholdAndSamplesTheWholeWindow) {
    ScriptedStation station;
    station.settings.voltageOn = 2.0;
    station.daq.Add({0.00, 0.00, 0.40, 1.90, 2.30, 2.40});

    const TimeToOnRun out = Measure(station, 2);

    EXPECT_TRUE(out.result);
    EXPECT_EQ(station.daq.ReadCount(), 20u);
    EXPECT_DOUBLE_EQ(out.timeToOn, 0.4);  // fifth reading, 100 ms apart
    EXPECT_THAT(station.harness.Texts(ProgressLog),
                ElementsAre("TTOn: 0.00,0.00,0.40,1.90,2.30", "Time To ON seconds, 0.40"));
    const auto power = station.daq.PowerWrites();
    ASSERT_EQ(power.size(), 1u);
    EXPECT_EQ(power[0].state, 1);
    EXPECT_EQ(station.harness.Texts(ProgressStatus).back(), "Reading voltage = 2.40 #20");
    EXPECT_THAT(station.harness.Texts(ProgressWait), ElementsAre(""));
}

struct ThresholdCase {
    const char* name;
    std::vector<double> readings;
    std::int32_t readDurationMs;
    double expectedTime;
    const char* expectedList;
    const char* expectedTimeLine;
};

class TimeToOnThreshold : public ::testing::TestWithParam<ThresholdCase> {};

TEST_P(TimeToOnThreshold, TimesTheFirstReadingAtOrAboveVoltageOn) {
    const ThresholdCase& c = GetParam();
    ScriptedStation station;
    station.settings.voltageOn = 2.0;
    station.daq.SetReadDurationMs(c.readDurationMs);
    for (double v : c.readings) {
        station.daq.Add({v});
    }

    const TimeToOnRun out = Measure(station, 1);

    EXPECT_TRUE(out.result);
    EXPECT_DOUBLE_EQ(out.timeToOn, c.expectedTime);
    EXPECT_THAT(station.harness.Texts(ProgressLog),
                ElementsAre(c.expectedList, c.expectedTimeLine));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimeToOnThreshold,
    ::testing::Values(
        ThresholdCase{
            "EqualCounts", {1.0, 2.0}, 0, 0.1, "TTOn: 1.00,2.00", "Time To ON seconds, 0.10"},
        ThresholdCase{"FirstReadingTakesOneReadTime",
                      {2.5},
                      30,
                      0.03,
                      "TTOn: 2.50",
                      "Time To ON seconds, 0.03"},
        ThresholdCase{"NeverReached",
                      {1.99},
                      0,
                      kTimeNotReached,
                      "TTOn: 1.99,1.99,1.99,1.99,1.99,1.99,1.99,1.99,1.99,1.99",
                      "Time To ON seconds, -1.00"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TimeToOn, ZeroSecondWindowSwitchesOnAndReportsNotReached) {
    ScriptedStation station;

    const TimeToOnRun out = Measure(station, 0);

    EXPECT_TRUE(out.result);
    EXPECT_EQ(station.daq.ReadCount(), 0u);
    EXPECT_EQ(station.daq.PowerWrites().size(), 1u);
    EXPECT_DOUBLE_EQ(out.timeToOn, kTimeNotReached);
    EXPECT_THAT(station.harness.Texts(ProgressLog), ElementsAre("", "Time To ON seconds, -1.00"));
}

TEST(TimeToOn, TimeIsRightAcrossAWrapOfTheTickCount) {
    ScriptedStation station(0xFFFFFF00u);  // wraps 256 ms in
    station.daq.Add({0.0, 0.0, 0.0, 0.0, 2.0});

    const TimeToOnRun out = Measure(station, 1);

    EXPECT_DOUBLE_EQ(out.timeToOn, 0.4);
}

TEST(TimeToOn, AllMessagesGoToTheFirstRow) {
    ScriptedStation station;
    station.daq.Add({2.5});

    Measure(station, 1);

    for (const auto& message : station.harness.Messages()) {
        EXPECT_EQ(message.row, 0) << message.payload;
    }
}

TEST(TimeToOn, FailedReadingAbandonsWithoutResultOrLogLines) {
    ScriptedStation station;
    station.daq.Add({0.0, 2.5});
    station.daq.AddError(LJE_COMM_FAILURE);

    const TimeToOnRun out = Measure(station, 1);

    EXPECT_FALSE(out.result);
    EXPECT_EQ(out.timeToOn, kUntouched);
    EXPECT_EQ(station.daq.ReadCount(), 3u);
    EXPECT_THAT(station.harness.Texts(ProgressLog), IsEmpty());
    EXPECT_EQ(station.harness.Texts(ProgressStatus).back(),
              "LabJack voltage read failed. Code 1008");
}

TEST(TimeToOn, FailedSwitchOnTakesNoReading) {
    ScriptedStation station;
    station.daq.FailPowerWrite(1, LJE_DEVICE_NOT_OPEN);

    const TimeToOnRun out = Measure(station, 1);

    EXPECT_FALSE(out.result);
    EXPECT_EQ(out.timeToOn, kUntouched);
    EXPECT_EQ(station.daq.ReadCount(), 0u);
}

TEST(TimeToOn, StopEndsTheWindowAfterTheCurrentWait) {
    ScriptedStation station;
    station.daq.Add({2.5});
    station.harness.SetOnMessage([&](const PostedMessage& m) {
        if (m.payload == "Reading voltage = 2.50 #3") {
            station.PressStop();
        }
    });

    const TimeToOnRun out = Measure(station, 1);

    EXPECT_FALSE(out.result);
    EXPECT_EQ(out.timeToOn, kUntouched);
    EXPECT_EQ(station.daq.ReadCount(), 3u);
    EXPECT_THAT(station.harness.Texts(ProgressLog), IsEmpty());
}

}  // namespace
}  // namespace orvalt
