#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "execution/TestMeasurements.h"
#include "execution/TimeToOff.h"
#include "support/ScriptedStation.h"

namespace orvalt {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::ScriptedDaq;
using testing::ScriptedStation;

// Outputs start at values the measurement never produces, to see what it wrote.
struct TimeToOffRun {
    bool result = false;
    double timeToA = 55.0;
    double timeToB = 55.0;
    std::int32_t delay = 55;
    std::int32_t diagValue = 55;
    std::int32_t saveNotAsExpected = 55;
    std::int32_t priorCount = 55;
};

TimeToOffRun Measure(ScriptedStation& station, int level) {
    TimeToOffRun out;
    station.harness.RunOnWorker([&] {
        out.result =
            MeasureTimeToOff(station.run, ScriptedDaq::kHandle, level, out.timeToA, out.timeToB,
                             out.delay, out.diagValue, out.saveNotAsExpected, out.priorCount);
    });
    return out;
}

ScriptedStation& WithThresholds(ScriptedStation& station) {
    station.settings.voltageOffA = 1.5;
    station.settings.voltageOffB = 1.0;
    station.settings.timeToOffSeconds = 1;
    return station;
}

TEST(TimeToOff, TimesBothThresholdsAndSamplesTheWholeWindow) {
    ScriptedStation station;
    WithThresholds(station).settings.timeToOffSeconds = 2;
    station.daq.Add({3.1, 2.0, 1.4, 0.8, 0.5});

    const TimeToOffRun out = Measure(station, 3);

    EXPECT_TRUE(out.result);
    EXPECT_EQ(station.daq.ReadCount(), 8u);
    EXPECT_DOUBLE_EQ(out.timeToA, 0.5);  // third reading, 250 ms apart
    EXPECT_DOUBLE_EQ(out.timeToB, 0.75);
    const auto log = station.harness.Texts(ProgressLog);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "3.10,2.00,1.40,0.80,0.50,0.50,0.50,0.50");
    EXPECT_EQ(log[1], "Time To OFF (to 1.50) seconds from level 3, 0.50");
    EXPECT_EQ(log[2], "Time To OFF (to 1.00) seconds from level 3, 0.75");
    EXPECT_EQ(log[3], "Too fast. No dignostic data. Delay = 0");
    const auto power = station.daq.PowerWrites();
    ASSERT_EQ(power.size(), 1u);
    EXPECT_EQ(power[0].state, 0);
    EXPECT_THAT(station.harness.Texts(ProgressWait), ElementsAre(""));
    for (const auto& message : station.harness.Messages()) {
        EXPECT_EQ(message.row, 0) << message.payload;
    }
}

TEST(TimeToOff, AReadingEqualToAThresholdIsNotBelowIt) {
    ScriptedStation station;
    WithThresholds(station);
    station.daq.Add({1.5, 1.0, 0.9});

    const TimeToOffRun out = Measure(station, 1);

    EXPECT_DOUBLE_EQ(out.timeToA, 0.25);
    EXPECT_DOUBLE_EQ(out.timeToB, 0.5);
}

TEST(TimeToOff, AThresholdNeverPassedIsReportedAsNotReached) {
    ScriptedStation station;
    WithThresholds(station);
    station.daq.Add({3.0, 1.2});

    const TimeToOffRun out = Measure(station, 2);

    EXPECT_DOUBLE_EQ(out.timeToA, 0.25);
    EXPECT_DOUBLE_EQ(out.timeToB, kTimeNotReached);
    EXPECT_EQ(station.harness.Texts(ProgressLog)[2],
              "Time To OFF (to 1.00) seconds from level 2, -1.00");
}

struct JudgementCase {
    const char* name;
    std::vector<std::int32_t> savedLevels;  // field 3, oldest first
    int level;
    std::int32_t saveNotAsExpected;
    std::int32_t priorCount;
    const char* line;
};

class SavedLevelJudgement : public ::testing::TestWithParam<JudgementCase> {};

TEST_P(SavedLevelJudgement, ComparesTheNewestReportWithTheCutLevel) {
    const JudgementCase& c = GetParam();
    ScriptedStation station;
    WithThresholds(station);
    std::int32_t delay = 100;
    for (std::int32_t saved : c.savedLevels) {
        station.diagTable.Append(DiagRecord{0, delay++, 40 + saved, saved});
    }

    const TimeToOffRun out = Measure(station, c.level);

    EXPECT_TRUE(out.result);
    EXPECT_EQ(out.delay, delay - 1);
    EXPECT_EQ(out.diagValue, 40 + c.savedLevels.back());
    EXPECT_EQ(out.saveNotAsExpected, c.saveNotAsExpected);
    EXPECT_EQ(out.priorCount, c.priorCount);
    EXPECT_EQ(station.harness.Texts(ProgressLog).back(), c.line);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SavedLevelJudgement,
    ::testing::Values(
        JudgementCase{"SameLevel",
                      {0, 2, 2, 2},
                      3,
                      0,
                      3,
                      "Delay = 103, Save as expected = YES, prior count = 3"},
        JudgementCase{
            "OtherLevel", {1, 1}, 1, 1, 2, "Delay = 101, Save as expected = NO, prior count = 2"},
        JudgementCase{"RunBrokenJustBeforeNewest",
                      {3, 3, 0},
                      1,
                      0,
                      1,
                      "Delay = 102, Save as expected = YES, prior count = 1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TimeToOff, NoDiagnosticRecordGivesZerosAndLeavesTheSecondValue) {
    ScriptedStation station;
    WithThresholds(station);

    const TimeToOffRun out = Measure(station, 4);

    EXPECT_TRUE(out.result);
    EXPECT_EQ(out.delay, 0);
    EXPECT_EQ(out.saveNotAsExpected, 0);
    EXPECT_EQ(out.priorCount, 0);
    EXPECT_EQ(out.diagValue, 55);
    EXPECT_EQ(station.harness.Texts(ProgressLog).back(), "Too fast. No dignostic data. Delay = 0");
}

TEST(TimeToOff, AbandoningLeavesEveryOutputAndWritesNoLogLine) {
    struct Failure {
        const char* name;
        bool failSwitch;
        bool failRead;
        bool stop;
    };
    for (const Failure& f :
         {Failure{"switch", true, false, false}, Failure{"read", false, true, false},
          Failure{"stop", false, false, true}}) {
        ScriptedStation station;
        WithThresholds(station);
        station.diagTable.Append(DiagRecord{0, 9, 9, 0});
        station.daq.Add({0.5});
        if (f.failSwitch) {
            station.daq.FailPowerWrite(1, LJE_COMM_FAILURE);
        }
        if (f.failRead) {
            station.daq.AddError(LJE_COMM_FAILURE);
        }
        if (f.stop) {
            station.harness.SetOnMessage([&](const PostedMessage& m) {
                if (m.payload == "Reading voltage = 0.50 #2") {
                    station.PressStop();
                }
            });
        }

        const TimeToOffRun out = Measure(station, 1);

        EXPECT_FALSE(out.result) << f.name;
        EXPECT_EQ(out.timeToA, 55.0) << f.name;
        EXPECT_EQ(out.timeToB, 55.0) << f.name;
        EXPECT_EQ(out.delay, 55) << f.name;
        EXPECT_EQ(out.priorCount, 55) << f.name;
        EXPECT_THAT(station.harness.Texts(ProgressLog), IsEmpty()) << f.name;
    }
}

}  // namespace
}  // namespace orvalt
