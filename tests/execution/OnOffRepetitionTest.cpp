#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/ScriptedStation.h"
#include "support/SequenceRun.h"

namespace orvalt {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::RunSequence;
using testing::ScriptedStation;
using testing::SequenceRun;

constexpr int kRow = 5;

// P1 0, off 100 ms, on 200 ms, bounds 4.0 V and 5000 mV, then the count x 1000.
TestPlanEntry OnOffEntry(std::int32_t p6) {
    return TestPlanEntry{0, 100, 200, 4000, 5000, p6, kRow};
}

TEST(OnOffRepetition, ShowsTheVerdictSoFarAtEverySwitchAndListsTheReadings) {
    ScriptedStation station;
    station.daq.Add({4.5, 5.01, 4.0});

    const SequenceRun out = RunSequence(station, OnOffEntry(3000));

    ASSERT_TRUE(out.result);
    EXPECT_EQ(station.daq.PowerWrites().back().state, 1);  // left on
    EXPECT_THAT(station.harness.Texts(ProgressLog), ElementsAre("Fail, 4.5,5.0,4.0"));
    EXPECT_THAT(
        station.harness.Texts(ProgressStatus, kRow),
        ElementsAre("Setting output OFF", "Test 1, OFF, last V = 0.0, PASS", "Setting output ON",
                    "Test 1, ON, last V = 0.0, PASS", "Reading voltage = 4.50 #1",
                    "Setting output OFF", "Test 2, OFF, last V = 4.5, PASS", "Setting output ON",
                    "Test 2, ON, last V = 4.5, PASS", "Reading voltage = 5.01 #2",
                    "Setting output OFF", "Test 3, OFF, last V = 5.0, FAIL", "Setting output ON",
                    "Test 3, ON, last V = 5.0, FAIL", "Reading voltage = 4.00 #3"));
    EXPECT_THAT(station.harness.Texts(ProgressWait, kRow),
                ElementsAre("Wait 0.10 secs for Off duration", "Wait 0.20 secs for On duration",
                            "Wait 0.10 secs for Off duration", "Wait 0.20 secs for On duration",
                            "Wait 0.10 secs for Off duration", "Wait 0.20 secs for On duration"));
    EXPECT_EQ(out.measured.V1[0], 0.0);  // no level figures in this mode
    EXPECT_EQ(out.measured.repetitionsFailed, 1);
}

TEST(OnOffRepetition, TheBoundsThemselvesPass) {
    for (const auto& [reading, verdict] : std::vector<std::pair<double, std::string>>{
             {3.99, "Fail, 4.0"}, {4.0, "Pass, 4.0"}, {5.0, "Pass, 5.0"}, {5.01, "Fail, 5.0"}}) {
        ScriptedStation station;
        station.daq.Add({reading});

        const SequenceRun out = RunSequence(station, OnOffEntry(1000));

        EXPECT_THAT(station.harness.Texts(ProgressLog), ElementsAre(verdict)) << reading;
        // The count agrees with the logged word: a "Fail, " test has a failure.
        EXPECT_EQ(out.measured.repetitionsFailed, verdict.starts_with("Fail") ? 1 : 0) << reading;
    }
}

TEST(OnOffRepetition, TheCountIsTheWholePartOfTheFileValue) {
    for (const auto& [p6, count] : std::vector<std::pair<std::int32_t, std::size_t>>{
             {2500, 2}, {999, 0}, {0, 0}, {-3000, 0}}) {
        ScriptedStation station;
        station.daq.Add({4.5});

        ASSERT_TRUE(RunSequence(station, OnOffEntry(p6)).result);

        EXPECT_EQ(station.daq.ReadCount(), count) << p6;
        EXPECT_EQ(station.daq.PowerWrites().size(), 2 * count) << p6;
        EXPECT_EQ(station.harness.Texts(ProgressLog).back(), count ? "Pass, 4.5,4.5" : "Pass, ");
    }
}

TEST(OnOffRepetition, ADeviceFailureOrStopAbandonsWithoutAVerdict) {
    for (const std::string what : {"read", "switch", "stop"}) {
        ScriptedStation station;
        station.daq.Add({4.5});
        station.Abandon(what, 4, "Test 2, ON, last V = 4.5, PASS");

        EXPECT_FALSE(RunSequence(station, OnOffEntry(3000)).result) << what;

        EXPECT_THAT(station.harness.Texts(ProgressLog), IsEmpty()) << what;
        EXPECT_EQ(station.daq.PowerWrites().size(), 4u) << what;
    }
}

}  // namespace
}  // namespace orvalt
