#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "execution/TestMeasurements.h"
#include "measure/SequenceRun.h"
#include "support/ScriptedStation.h"

namespace orvalt {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::RunSequence;
using testing::ScriptedDaq;
using testing::ScriptedStation;
using testing::SequenceRun;

constexpr int kRow = 5;

// Plan line with 0 in column 2, the given off/on times, bounds 4.0 V (column 5)
// and 5000 mV (column 6), and the repetition count in column 7.
TestPlanEntry OnOffEntry(std::int32_t p6) {
    return TestPlanEntry{0, 100, 200, 4000, 5000, p6, kRow};
}

TEST(OnOffRepetition, SwitchesEachRepetitionAndListsTheReadings) {
    ScriptedStation station;
    station.daq.Add({4.5, 5.0, 4.0});

    const SequenceRun out = RunSequence(station, OnOffEntry(3000));

    ASSERT_TRUE(out.result);
    EXPECT_EQ(station.daq.PowerWrites().size(), 6u);
    EXPECT_EQ(station.daq.PowerWrites().back().state, 1);  // left on
    EXPECT_THAT(station.harness.Texts(ProgressLog), ElementsAre("Pass, 4.5,5.0,4.0"));
    EXPECT_THAT(
        station.harness.Texts(ProgressStatus, kRow),
        ElementsAre("Setting output OFF", "Test 1, OFF, last V = 0.0, PASS", "Setting output ON",
                    "Test 1, ON, last V = 0.0, PASS", "Reading voltage = 4.50 #1",
                    "Setting output OFF", "Test 2, OFF, last V = 4.5, PASS", "Setting output ON",
                    "Test 2, ON, last V = 4.5, PASS", "Reading voltage = 5.00 #2",
                    "Setting output OFF", "Test 3, OFF, last V = 5.0, PASS", "Setting output ON",
                    "Test 3, ON, last V = 5.0, PASS", "Reading voltage = 4.00 #3"));
    EXPECT_EQ(station.harness.Texts(ProgressWait, kRow)[0], "Wait 0.10 secs for Off duration");
    EXPECT_EQ(station.harness.Texts(ProgressWait, kRow)[1], "Wait 0.20 secs for On duration");
    EXPECT_EQ(out.measured.V1[0], 0.0);
    EXPECT_EQ(out.measured.timeToOffDone, 0);
}

struct BoundCase {
    double reading;
    bool pass;
};

class OnOffBounds : public ::testing::TestWithParam<BoundCase> {};

TEST_P(OnOffBounds, TheBoundsThemselvesPass) {
    ScriptedStation station;
    station.daq.Add({GetParam().reading});

    const SequenceRun out = RunSequence(station, OnOffEntry(1000));

    ASSERT_TRUE(out.result);
    EXPECT_EQ(station.harness.Texts(ProgressLog)[0].substr(0, 6),
              GetParam().pass ? "Pass, " : "Fail, ");
}

INSTANTIATE_TEST_SUITE_P(Readings, OnOffBounds,
                         ::testing::Values(BoundCase{3.99, false}, BoundCase{4.0, true},
                                           BoundCase{5.0, true}, BoundCase{5.01, false}));

TEST(OnOffRepetition, AFailedReadingMarksTheLaterRepetitionsAndTheVerdict) {
    ScriptedStation station;
    station.daq.Add({5.01, 4.5});

    const SequenceRun out = RunSequence(station, OnOffEntry(2000));

    ASSERT_TRUE(out.result);
    const auto status = station.harness.Texts(ProgressStatus, kRow);
    EXPECT_EQ(status[6], "Test 2, OFF, last V = 5.0, FAIL");
    EXPECT_THAT(station.harness.Texts(ProgressLog), ElementsAre("Fail, 5.0,4.5"));
}

TEST(OnOffRepetition, TheCountIsTheWholePartOfTheFileValue) {
    for (const auto& [p6, repetitions] : std::vector<std::pair<std::int32_t, std::size_t>>{
             {2500, 2}, {999, 0}, {0, 0}, {-3000, 0}}) {
        ScriptedStation station;
        station.daq.Add({4.5});

        const SequenceRun out = RunSequence(station, OnOffEntry(p6));

        ASSERT_TRUE(out.result);
        EXPECT_EQ(station.daq.ReadCount(), repetitions) << p6;
        EXPECT_EQ(station.daq.PowerWrites().size(), 2 * repetitions) << p6;
        if (repetitions == 0) {
            EXPECT_THAT(station.harness.Texts(ProgressLog), ElementsAre("Pass, ")) << p6;
        }
    }
}

TEST(OnOffRepetition, ADeviceFailureOrStopAbandonsWithoutAVerdict) {
    for (const char* failure : {"read", "switch", "stop"}) {
        ScriptedStation station;
        station.daq.Add({4.5});
        const std::string what = failure;
        if (what == "read") {
            station.daq.AddError(LJE_COMM_FAILURE);
        } else if (what == "switch") {
            station.daq.FailPowerWrite(4, LJE_COMM_FAILURE);
        } else {
            station.harness.SetOnMessage([&](const PostedMessage& m) {
                if (m.payload == "Test 2, ON, last V = 4.5, PASS") {
                    station.PressStop();
                }
            });
        }

        const SequenceRun out = RunSequence(station, OnOffEntry(3000));

        EXPECT_FALSE(out.result) << what;
        EXPECT_THAT(station.harness.Texts(ProgressLog), IsEmpty()) << what;
        EXPECT_EQ(station.daq.PowerWrites().size(), 4u) << what;
    }
}

TEST(OnOffRepetition, LeavesTheSwitchOffOptionAlone) {
    ScriptedStation station;
    station.run.ttoCycle = 3;
    station.run.ttoLevel = 2;
    TestPlanEntry entry = OnOffEntry(1000);
    entry.P5 = 7;  // a valid option index, but here an upper bound in millivolts

    RunSequence(station, entry);

    EXPECT_EQ(station.run.ttoCycle, 3);
    EXPECT_EQ(station.run.ttoLevel, 2);
}

}  // namespace
}  // namespace orvalt
