#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "domain/TestMeasurements.h"
#include "execution/TimeToOn.h"
#include "support/ScriptedStation.h"

namespace orvalt {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::ScriptedDaq;
using testing::ScriptedStation;

constexpr double kUntouched = 123.0;

bool Measure(ScriptedStation& station, int seconds, double& timeToOn) {
    bool result = false;
    station.harness.RunOnWorker(
        [&] { result = MeasureTimeToOn(station.run, ScriptedDaq::kHandle, seconds, timeToOn); });
    return result;
}

TEST(TimeToOn, ListsReadingsUpToTheThresholdAndSamplesTheWholeWindow) {
    ScriptedStation station;
    station.daq.Add({0.00, 0.00, 0.40, 1.90, 2.30, 2.40});
    double timeToOn = kUntouched;

    EXPECT_TRUE(Measure(station, 2, timeToOn));

    EXPECT_EQ(station.daq.ReadCount(), 20u);
    EXPECT_DOUBLE_EQ(timeToOn, 0.4);  // fifth reading, 100 ms apart
    EXPECT_THAT(station.harness.Texts(ProgressLog, 0),
                ElementsAre("TTOn: 0.00,0.00,0.40,1.90,2.30", "Time To ON seconds, 0.40"));
    EXPECT_EQ(station.daq.PowerWrites().at(0).state, 1);
    EXPECT_EQ(station.harness.Texts(ProgressStatus, 0).back(), "Reading voltage = 2.40 #20");
    EXPECT_THAT(station.harness.Texts(ProgressWait, 0), ElementsAre(""));
}

struct ThresholdCase {
    const char* name;
    int seconds;
    std::vector<double> readings;
    std::int32_t readDurationMs;
    double time;
    const char* list;
    const char* timeLine;
};

class TimeToOnThreshold : public ::testing::TestWithParam<ThresholdCase> {};

TEST_P(TimeToOnThreshold, TimesTheFirstReadingAtOrAboveVoltageOn) {
    const ThresholdCase& c = GetParam();
    ScriptedStation station;
    station.daq.SetReadDurationMs(c.readDurationMs);
    for (double v : c.readings) {
        station.daq.Add({v});
    }
    double timeToOn = kUntouched;

    EXPECT_TRUE(Measure(station, c.seconds, timeToOn));

    EXPECT_DOUBLE_EQ(timeToOn, c.time);
    EXPECT_THAT(station.harness.Texts(ProgressLog), ElementsAre(c.list, c.timeLine));
    EXPECT_EQ(station.daq.PowerWrites().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimeToOnThreshold,
    ::testing::Values(
        ThresholdCase{
            "EqualCounts", 1, {1.0, 2.0}, 0, 0.1, "TTOn: 1.00,2.00", "Time To ON seconds, 0.10"},
        ThresholdCase{"FirstReadingTakesOneReadTime",
                      1,
                      {2.5},
                      30,
                      0.03,
                      "TTOn: 2.50",
                      "Time To ON seconds, 0.03"},
        ThresholdCase{"NeverReached",
                      1,
                      {1.99},
                      0,
                      kTimeNotReached,
                      "TTOn: 1.99,1.99,1.99,1.99,1.99,1.99,1.99,1.99,1.99,1.99",
                      "Time To ON seconds, -1.00"},
        ThresholdCase{
            "ZeroSecondWindow", 0, {2.5}, 0, kTimeNotReached, "", "Time To ON seconds, -1.00"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TimeToOn, AbandonsOnAFailureOrStopWithoutResultOrLogLines) {
    for (const std::string what : {"switch", "read", "stop"}) {
        ScriptedStation station;
        station.daq.Add({0.0, 2.5});
        station.Abandon(what, 1, "Reading voltage = 2.50 #3");
        double timeToOn = kUntouched;

        EXPECT_FALSE(Measure(station, 1, timeToOn)) << what;

        EXPECT_EQ(timeToOn, kUntouched) << what;
        EXPECT_EQ(station.daq.ReadCount(), what == "switch" ? 0u : 3u) << what;
        EXPECT_THAT(station.harness.Texts(ProgressLog), IsEmpty()) << what;
    }
}

}  // namespace
}  // namespace orvalt
