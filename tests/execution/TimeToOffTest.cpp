#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "domain/TestMeasurements.h"
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

// Thresholds 1.5 V and 1.0 V (the defaults), readings 250 ms apart.
TimeToOffRun Measure(ScriptedStation& station, int level, std::int32_t seconds = 1) {
    station.settings.timeToOffSeconds = seconds;
    TimeToOffRun out;
    station.harness.RunOnWorker([&] {
        out.result =
            MeasureTimeToOff(station.run, ScriptedDaq::kHandle, level, out.timeToA, out.timeToB,
                             out.delay, out.diagValue, out.saveNotAsExpected, out.priorCount);
    });
    return out;
}

TEST(TimeToOff, TimesBothThresholdsAndSamplesTheWholeWindow) {
    ScriptedStation station;
    station.daq.Add({3.1, 2.0, 1.4, 0.8, 0.5});

    const TimeToOffRun out = Measure(station, 3, 2);

    EXPECT_TRUE(out.result);
    EXPECT_DOUBLE_EQ(out.timeToA, 0.5);  // third reading
    EXPECT_DOUBLE_EQ(out.timeToB, 0.75);
    EXPECT_THAT(station.harness.Texts(ProgressLog, 0),
                ElementsAre("3.10,2.00,1.40,0.80,0.50,0.50,0.50,0.50",
                            "Time To OFF (to 1.50) seconds from level 3, 0.50",
                            "Time To OFF (to 1.00) seconds from level 3, 0.75",
                            "Too fast. No dignostic data. Delay = 0"));
    EXPECT_EQ(station.daq.PowerWrites().at(0).state, 0);
    EXPECT_THAT(station.harness.Texts(ProgressWait, 0), ElementsAre(""));
}

TEST(TimeToOff, OnlyAReadingStrictlyBelowPassesAThreshold) {
    struct Case {
        std::vector<double> readings;
        double timeToA;
        double timeToB;
    };
    for (const Case& c :
         {Case{{1.5, 1.0, 0.9}, 0.25, 0.5}, Case{{3.0, 1.2}, 0.25, kTimeNotReached}}) {
        ScriptedStation station;
        for (double v : c.readings) {
            station.daq.Add({v});
        }

        const TimeToOffRun out = Measure(station, 2);

        EXPECT_DOUBLE_EQ(out.timeToA, c.timeToA);
        EXPECT_DOUBLE_EQ(out.timeToB, c.timeToB);
    }
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
    std::int32_t delay = 100;
    for (std::int32_t saved : c.savedLevels) {
        station.diagTable.Append(DiagRecord{0, delay++, 40 + saved, saved});
    }

    const TimeToOffRun out = Measure(station, c.level);

    EXPECT_TRUE(out.result);
    EXPECT_EQ(out.delay, c.savedLevels.empty() ? 0 : delay - 1);
    EXPECT_EQ(out.diagValue, c.savedLevels.empty() ? 55 : 40 + c.savedLevels.back());
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
                      "Delay = 102, Save as expected = YES, prior count = 1"},
        JudgementCase{"NoRecord", {}, 4, 0, 0, "Too fast. No dignostic data. Delay = 0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TimeToOff, AbandoningLeavesEveryOutputAndWritesNoLogLine) {
    for (const std::string what : {"switch", "read", "stop"}) {
        ScriptedStation station;
        station.diagTable.Append(DiagRecord{0, 9, 9, 0});
        station.daq.Add({0.5});
        station.Abandon(what, 1, "Reading voltage = 0.50 #2");

        const TimeToOffRun out = Measure(station, 1);

        EXPECT_FALSE(out.result) << what;
        EXPECT_EQ(out.timeToA, 55.0) << what;
        EXPECT_EQ(out.timeToB, 55.0) << what;
        EXPECT_EQ(out.delay, 55) << what;
        EXPECT_EQ(out.priorCount, 55) << what;
        EXPECT_THAT(station.harness.Texts(ProgressLog), IsEmpty()) << what;
    }
}

}  // namespace
}  // namespace orvalt
