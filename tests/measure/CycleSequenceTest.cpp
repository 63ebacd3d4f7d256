#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "execution/TestMeasurements.h"
#include "measure/SequenceRun.h"
#include "support/ScriptedStation.h"

namespace orvalt {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using testing::OutputWrite;
using testing::RunSequence;
using testing::ScriptedDaq;
using testing::ScriptedStation;
using testing::SequenceRun;

constexpr int kRow = 3;

// Short times keep the expected figures readable; virtual time makes any length free.
void UseShortTimes(SettingsRecord& s) {
    s.cfgTime1 = 1000;
    s.cfgTime2 = 1000;  // 10 Time-to-ON readings
    s.cfgTime6 = 500;
    s.cfgTime3 = 200;
    s.cfgTime4 = 300;
    s.cfgLevelDuration = 1000;
    s.cfgTime7 = 500;
    s.timeToOffSeconds = 1;  // 4 Time-to-OFF readings
    s.voltageDelta = 0.5;
    s.voltageDeltaForOff = 0.5;
    s.voltageOn = 2.0;
    s.voltageOffA = 1.5;
    s.voltageOffB = 1.0;
}

TestPlanEntry CycleEntry(std::int32_t p5) {
    return TestPlanEntry{100, 200, 300, 400, p5, 0, kRow};
}

void ScriptTimeToOn(ScriptedDaq& daq) {
    daq.Add({0.0, 2.5});
    daq.AddRepeated(2.5, 8);
}

void ScriptSwitchOff(ScriptedDaq& daq) {
    daq.Add({1.2, 0.8, 0.4, 0.2});
}

// A unit with levels 1, 2, 3, 4 V that falls back to level 1 right when the
// sequence starts looking for it, cut at cycle `cycles`, level `level`.
void ScriptCyclingUnit(ScriptedDaq& daq, int cycles, int level) {
    ScriptTimeToOn(daq);
    for (int cycle = 1; cycle < cycles; ++cycle) {
        daq.Add({1.0, 2.0, 3.0, 4.0});
        if (cycle == cycles - 1) {
            daq.Add({1.0});
        }
    }
    for (int l = 1; l <= level; ++l) {
        daq.Add({static_cast<double>(l)});
    }
    ScriptSwitchOff(daq);
}

std::vector<std::int32_t> States(const std::vector<OutputWrite>& writes) {
    std::vector<std::int32_t> states;
    for (const auto& w : writes) {
        states.push_back(w.state);
    }
    return states;
}

bool HasText(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class CycleSequence : public ::testing::Test {
  protected:
    CycleSequence() { UseShortTimes(station.settings); }
    ScriptedStation station;
};

TEST_F(CycleSequence, SwitchOffInTheSecondCycleAtLevelOne) {
    ScriptCyclingUnit(station.daq, 2, 1);
    // A report from before the measured cycling must not count; one after does.
    int ons = 0;
    station.daq.SetOnWrite([&](const OutputWrite& w) {
        if (w.channel == ScriptedDaq::kPowerLine && w.state == 1) {
            ++ons;
            station.diagTable.Append(ons == 1 ? DiagRecord{0, 9, 9, 3} : DiagRecord{0, 120, 5, 0});
        }
    });

    const SequenceRun out = RunSequence(station, CycleEntry(4));

    ASSERT_TRUE(out.result);
    EXPECT_EQ(station.run.ttoCycle, 2);
    EXPECT_EQ(station.run.ttoLevel, 1);
    const auto power = station.daq.PowerWrites();
    EXPECT_THAT(States(power), ElementsAre(0, 1, 0, 1, 0, 1, 0, 1, 0));
    EXPECT_EQ(power[8].tick - power[7].tick, 4000u);  // cut in the middle of level 1
    EXPECT_THAT(
        station.harness.Texts(ProgressWait, kRow),
        ElementsAre(
            "Wait 1.00 secs for to ensure OFF", "Time To ON Test and wait for 1 seconds", "",
            "Wait 0.50 secs for Wait before start", "", "Wait 0.10 secs for T1",
            "Wait 0.20 secs for T2", "Wait 0.30 secs for T3", "Wait 0.40 secs for T4",
            "Wait 0.20 secs for to get started", "Wait 0.30 secs for to get to middle of level 1",
            "Wait 1.00 secs for to get to level 2", "Wait 1.00 secs for to get to level 3",
            "Wait 1.00 secs for to get to level 4", "Wait 0.50 secs for **to get to mid-level 1**",
            "Wait 1.00 secs for to get to level 1", ""));
    EXPECT_THAT(
        station.harness.Texts(ProgressLog),
        ElementsAre("TTOn: 0.00,2.50", "Time To ON seconds, 0.10", "1.00, 2.00, 3.00, 4.00",
                    "1.20,0.80,0.40,0.20", "Time To OFF (to 1.50) seconds from level 1, 0.00",
                    "Time To OFF (to 1.00) seconds from level 1, 0.25",
                    "Delay = 120, Save as expected = YES, prior count = 1",
                    "1.00, 0.00, 0.00, 0.00", "TEST 4, V1, 1.00, 1.00, 1.00",
                    "TEST 4, V2, 2.00, 0.00, 1.00", "TEST 4, V3, 3.00, 0.00, 1.50",
                    "TEST 4, V4, 4.00, 0.00, 2.00", "TEST 4, CT, 3.50",
                    "TEST 4, DELAY, 120, DIAG, 5, 0, 1"));
    EXPECT_EQ(station.harness.Texts(ProgressStatus, kRow).back(),
              "Done: Cycling completed in 3.50 seconds");
    EXPECT_DOUBLE_EQ(out.measured.CT, 3.5);
    EXPECT_DOUBLE_EQ(out.measured.timeToOn, 0.1);
    EXPECT_DOUBLE_EQ(out.measured.timeToOffB[0], 0.25);
    EXPECT_EQ(out.measured.timeToOffDone, 1);
    // The switching measurements report in the first row, the levels in the test's.
    EXPECT_TRUE(HasText(station.harness.Texts(ProgressStatus, 0), "Reading voltage = 2.50 #10"));
    EXPECT_TRUE(HasText(station.harness.Texts(ProgressStatus, kRow), "Reading voltage = 4.00 #1"));
}

TEST_F(CycleSequence, OneCycleHasNoResynchronisationAndNoCycleTime) {
    ScriptCyclingUnit(station.daq, 1, 3);

    const SequenceRun out = RunSequence(station, CycleEntry(2));

    ASSERT_TRUE(out.result);
    EXPECT_EQ(station.daq.ReadCount(), 17u);
    EXPECT_EQ(out.measured.CT, 0.0);
    EXPECT_EQ(station.harness.Texts(ProgressStatus, kRow).back(),
              "Done: Cycling completed in 0.00 seconds");
    const auto log = station.harness.Texts(ProgressLog);
    EXPECT_TRUE(HasText(log, "1.00, 2.00, 3.00, 0.00"));
    EXPECT_TRUE(HasText(log, "Time To OFF (to 1.50) seconds from level 3, 0.00"));
    EXPECT_TRUE(HasText(log, "TEST 4, CT, 0.00"));
    EXPECT_TRUE(HasText(log, "TEST 4, DELAY, 0, DIAG, 0, 0, 0"));
    EXPECT_FALSE(HasText(station.harness.Texts(ProgressWait, kRow),
                         "Wait 0.50 secs for **to get to mid-level 1**"));
    EXPECT_EQ(out.measured.timeToOffA[0], 0.0);  // only the cut level's slot is written
    EXPECT_DOUBLE_EQ(out.measured.timeToOffB[2], 0.25);
}

TEST_F(CycleSequence, FourCyclesResynchroniseInTheThird) {
    ScriptCyclingUnit(station.daq, 4, 4);

    const SequenceRun out = RunSequence(station, CycleEntry(15));

    ASSERT_TRUE(out.result);
    const auto waits = station.harness.Texts(ProgressWait, kRow);
    EXPECT_EQ(std::count(waits.begin(), waits.end(), "Wait 1.00 secs for to get to level 2"), 4);
    EXPECT_EQ(std::count(waits.begin(), waits.end(), "Wait 1.00 secs for to get to level 1"), 3);
    EXPECT_EQ(
        std::count(waits.begin(), waits.end(), "Wait 0.50 secs for **to get to mid-level 1**"), 1);
    EXPECT_DOUBLE_EQ(out.measured.CT, 11.5);  // three cycles of 4 s from mid-level 1
    EXPECT_THAT(out.measured.V4, ElementsAre(4.0, 4.0, 4.0, 4.0));
    EXPECT_TRUE(HasText(station.harness.Texts(ProgressLog), "TEST 4, V4, 4.00, 4.00, 4.00"));
}

TEST_F(CycleSequence, CyclingIsCheckedAlsoInTheSwitchOffCycleWhenCutAfterLevelTwo) {
    ScriptTimeToOn(station.daq);
    for (int cycle = 0; cycle < 3; ++cycle) {
        station.daq.Add({1.0, 2.0, 3.0, 4.0});
    }
    station.daq.Add({1.0, 1.0, 1.1});

    const SequenceRun out = RunSequence(station, CycleEntry(15));

    ASSERT_TRUE(out.result);
    EXPECT_EQ(out.measured.notCycling, 1);
    EXPECT_EQ(out.measured.timeToOffDone, 0);
    EXPECT_EQ(station.daq.PowerWrites().back().state, 1);
    EXPECT_THAT(out.measured.V1, ElementsAre(1.0, 1.0, 1.0, 0.0));
    EXPECT_EQ(station.harness.Texts(ProgressLog).back(), "NOT cycling (V1=1.00, V2=1.10)");
}

TEST_F(CycleSequence, NoCyclingCheckWhenTheCutIsAtLevelTwo) {
    ScriptTimeToOn(station.daq);
    station.daq.Add({1.0, 2.0, 3.0, 4.0, 1.0, 1.0, 1.0});
    ScriptSwitchOff(station.daq);

    const SequenceRun out = RunSequence(station, CycleEntry(5));

    ASSERT_TRUE(out.result);
    EXPECT_EQ(out.measured.notCycling, 0);
    EXPECT_EQ(out.measured.timeToOffDone, 1);
    EXPECT_THAT(out.measured.V2, ElementsAre(2.0, 1.0, 0.0, 0.0));
}

struct CyclingCase {
    double v2;
    bool cycling;
};

class CyclingCheck : public CycleSequence, public ::testing::WithParamInterface<CyclingCase> {};

TEST_P(CyclingCheck, AStepOfVoltageDeltaCountsAsCycling) {
    ScriptTimeToOn(station.daq);
    station.daq.Add({3.0, GetParam().v2, 2.0, 1.0});
    ScriptSwitchOff(station.daq);

    const SequenceRun out = RunSequence(station, CycleEntry(3));

    ASSERT_TRUE(out.result);
    const auto log = station.harness.Texts(ProgressLog);
    const auto status = station.harness.Texts(ProgressStatus, kRow);
    if (GetParam().cycling) {
        EXPECT_EQ(out.measured.notCycling, 0);
        EXPECT_EQ(status.back(), "Done: Cycling completed in 0.00 seconds");
        return;
    }
    EXPECT_EQ(out.measured.notCycling, 1);
    EXPECT_EQ(status.back(), "NOT cycling (V1=3.00, V2=2.60)");
    EXPECT_EQ(station.harness.Texts(ProgressWait, kRow).back(), "");
    EXPECT_EQ(log.back(), "NOT cycling (V1=3.00, V2=2.60)");
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.rfind("TEST ", 0) == 0; }),
              0);
    EXPECT_EQ(station.daq.PowerWrites().back().state, 1);  // left on
    EXPECT_EQ(station.daq.ReadCount(), 12u);
    EXPECT_EQ(out.measured.V1[0], 0.0);
}

INSTANTIATE_TEST_SUITE_P(Steps, CyclingCheck,
                         ::testing::Values(CyclingCase{2.6, false}, CyclingCase{2.5, true}));

struct OptionCase {
    std::int32_t p5;
    std::int32_t cycleBefore;
    std::int32_t levelBefore;
    std::int32_t cycle;
    std::int32_t level;
};

class SwitchOffOption : public CycleSequence, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(SwitchOffOption, TheTestsOwnOptionWinsAndAnInvalidOneKeepsThePrevious) {
    const OptionCase& c = GetParam();
    station.run.ttoCycle = c.cycleBefore;
    station.run.ttoLevel = c.levelBefore;
    ScriptCyclingUnit(station.daq, c.cycle, c.level);

    const SequenceRun out = RunSequence(station, CycleEntry(c.p5));

    ASSERT_TRUE(out.result);
    EXPECT_EQ(station.run.ttoCycle, c.cycle);
    EXPECT_EQ(station.run.ttoLevel, c.level);
    EXPECT_EQ(out.measured.notCycling, 0);
    EXPECT_DOUBLE_EQ(out.measured.timeToOffB[c.level - 1], 0.25);
    EXPECT_TRUE(
        HasText(station.harness.Texts(ProgressLog),
                "Time To OFF (to 1.00) seconds from level " + std::to_string(c.level) + ", 0.25"));
}

INSTANTIATE_TEST_SUITE_P(Options, SwitchOffOption,
                         ::testing::Values(OptionCase{7, 4, 1, 2, 4}, OptionCase{20, 1, 2, 1, 2},
                                           OptionCase{-1, 3, 3, 3, 3}));

TEST_F(CycleSequence, StopDuringTheFirstWaitAbandonsWithinOneSlice) {
    station.settings.cfgTime1 = 20000;
    station.harness.SetOnMessage([&](const PostedMessage& m) {
        if (m.payload == "Wait 20.00 secs for to ensure OFF") {
            station.PressStop();
        }
    });

    const SequenceRun out = RunSequence(station, CycleEntry(10));

    EXPECT_FALSE(out.result);
    EXPECT_EQ(station.harness.Clock().ElapsedMs(), 250u);
    EXPECT_EQ(station.daq.PowerWrites().size(), 1u);
    EXPECT_EQ(station.daq.ReadCount(), 0u);
    EXPECT_THAT(station.harness.Texts(ProgressLog), IsEmpty());
}

TEST_F(CycleSequence, ADeviceFailureAbandonsWithoutAVerdict) {
    struct Failure {
        const char* name;
        std::size_t failedPowerWrite;  // 0: none
        std::size_t goodReadings;      // readings before a failed one
        std::size_t powerWrites;
    };
    for (const Failure& f :
         {Failure{"switch for T3", 6, 0, 6}, Failure{"cycle 1 level 3 reading", 0, 12, 8},
          Failure{"fall detection reading", 0, 15, 8}}) {
        ScriptedStation s;
        UseShortTimes(s.settings);
        if (f.failedPowerWrite != 0) {
            ScriptCyclingUnit(s.daq, 2, 4);
            s.daq.FailPowerWrite(f.failedPowerWrite, LJE_COMM_FAILURE);
        } else {
            ScriptTimeToOn(s.daq);
            const std::vector<double> levelsThenNoFall{1.0, 2.0, 3.0, 4.0, 4.0};
            for (std::size_t i = 0; i + 10 < f.goodReadings; ++i) {
                s.daq.Add({levelsThenNoFall[i]});
            }
            s.daq.AddError(LJE_COMM_FAILURE);
        }

        const SequenceRun out = RunSequence(s, CycleEntry(7));

        EXPECT_FALSE(out.result) << f.name;
        EXPECT_EQ(s.daq.PowerWrites().size(), f.powerWrites) << f.name;
        EXPECT_EQ(out.measured.notCycling, 0) << f.name;
        EXPECT_EQ(s.harness.Texts(ProgressStatus, kRow).back(),
                  "LabJack " + std::string(f.failedPowerWrite ? "control output" : "voltage read") +
                      " failed. Code 1008")
            << f.name;
        for (const auto& line : s.harness.Texts(ProgressLog)) {
            EXPECT_NE(line.rfind("TEST ", 0), 0u) << f.name << ": " << line;
        }
    }
}

TEST_F(CycleSequence, AFailureInsideTheSwitchingMeasurementsOnlyCostsTheirFigures) {
    station.daq.Add({0.0});
    station.daq.AddError(LJE_COMM_FAILURE);  // second Time-to-ON reading
    station.daq.Add({1.0, 2.0, 3.0, 4.0});
    station.daq.AddError(LJE_COMM_FAILURE);  // first Time-to-OFF reading

    const SequenceRun out = RunSequence(station, CycleEntry(3));

    ASSERT_TRUE(out.result);
    EXPECT_EQ(out.measured.timeToOn, 0.0);
    EXPECT_EQ(out.measured.timeToOffDone, 1);
    EXPECT_EQ(out.measured.timeToOffA[3], 0.0);
    const auto log = station.harness.Texts(ProgressLog);
    EXPECT_THAT(log, Not(Contains("TTOn: 0.00")));
    EXPECT_TRUE(HasText(log, "TEST 4, DELAY, 0, DIAG, 0, 0, 0"));
}

}  // namespace
}  // namespace orvalt
