#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "domain/TestMeasurements.h"
#include "support/ScriptedStation.h"
#include "support/SequenceRun.h"

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

TestPlanEntry CycleEntry(std::int32_t p5) {
    return TestPlanEntry{100, 200, 300, 400, p5, 0, kRow};
}

void ScriptTimeToOn(ScriptedDaq& daq) {  // 10 readings, threshold at the second
    daq.Add({0.0});
    daq.AddRepeated(2.5, 9);
}

// A unit with levels 1, 2, 3, 4 V through `cycles` whole cycles, that falls
// back to level 1 right when the sequence starts looking for the fall.
void ScriptWholeCycles(ScriptedDaq& daq, int cycles) {
    ScriptTimeToOn(daq);
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        daq.Add({1.0, 2.0, 3.0, 4.0});
    }
    if (cycles > 0) {
        daq.Add({1.0});
    }
}

// The same unit, cut at cycle `cycles`, level `level`.
void ScriptCyclingUnit(ScriptedDaq& daq, int cycles, int level) {
    ScriptWholeCycles(daq, cycles - 1);
    for (int l = 1; l <= level; ++l) {
        daq.Add({static_cast<double>(l)});
    }
    daq.Add({1.2, 0.8, 0.4, 0.2});
}

std::vector<std::int32_t> States(const std::vector<OutputWrite>& writes) {
    std::vector<std::int32_t> states;
    for (const auto& w : writes) {
        states.push_back(w.state);
    }
    return states;
}

long Count(const std::vector<std::string>& texts, const std::string& text) {
    return std::count(texts.begin(), texts.end(), text);
}

// Short times keep the expected figures readable; virtual time makes any length free.
class CycleSequence : public ::testing::Test {
  protected:
    CycleSequence() {
        SettingsRecord& s = station.settings;
        s.cfgTime1 = 1000;
        s.cfgTime2 = 1000;  // 10 Time-to-ON readings
        s.cfgTime6 = 500;
        s.cfgTime3 = 200;
        s.cfgTime4 = 300;
        s.cfgLevelDuration = 1000;
        s.cfgTime7 = 500;
        s.timeToOffSeconds = 1;  // 4 Time-to-OFF readings
    }
    std::vector<std::string> Log() const { return station.harness.Texts(ProgressLog); }
    std::vector<std::string> Waits() const { return station.harness.Texts(ProgressWait, kRow); }
    std::vector<std::string> Statuses() const {
        return station.harness.Texts(ProgressStatus, kRow);
    }

    ScriptedStation station;
};

TEST_F(CycleSequence, SwitchOffInTheSecondCycleAtLevelOne) {
    ScriptCyclingUnit(station.daq, 2, 1);
    // A report from before the measured cycling must not count; one after does.
    int ons = 0;
    station.daq.SetOnWrite([&](const OutputWrite& w) {
        if (w.channel == kPowerLine && w.state == 1 && ++ons <= 4) {
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
        Waits(),
        ElementsAre(
            "Wait 1.00 secs for to ensure OFF", "Time To ON Test and wait for 1 seconds", "",
            "Wait 0.50 secs for Wait before start", "", "Wait 0.10 secs for T1",
            "Wait 0.20 secs for T2", "Wait 0.30 secs for T3", "Wait 0.40 secs for T4",
            "Wait 0.20 secs for to get started", "Wait 0.30 secs for to get to middle of level 1",
            "Wait 1.00 secs for to get to level 2", "Wait 1.00 secs for to get to level 3",
            "Wait 1.00 secs for to get to level 4", "Wait 0.50 secs for **to get to mid-level 1**",
            "Wait 1.00 secs for to get to level 1", ""));
    EXPECT_THAT(Log(), ElementsAre("TTOn: 0.00,2.50", "Time To ON seconds, 0.10",
                                   "1.00, 2.00, 3.00, 4.00", "1.20,0.80,0.40,0.20",
                                   "Time To OFF (to 1.50) seconds from level 1, 0.00",
                                   "Time To OFF (to 1.00) seconds from level 1, 0.25",
                                   "Delay = 120, Save as expected = YES, prior count = 1",
                                   "1.00, 0.00, 0.00, 0.00", "TEST 4, V1, 1.00, 1.00, 1.00",
                                   "TEST 4, V2, 2.00, 0.00, 1.00", "TEST 4, V3, 3.00, 0.00, 1.50",
                                   "TEST 4, V4, 4.00, 0.00, 2.00", "TEST 4, CT, 3.50",
                                   "TEST 4, DELAY, 120, DIAG, 5, 0, 1"));
    EXPECT_EQ(Statuses().back(), "Done: Cycling completed in 3.50 seconds");
    EXPECT_DOUBLE_EQ(out.measured.CT, 3.5);
    EXPECT_DOUBLE_EQ(out.measured.timeToOn, 0.1);
    EXPECT_DOUBLE_EQ(out.measured.timeToOffB[0], 0.25);
    EXPECT_EQ(out.measured.timeToOffDone, 1);
    // The switching measurements report in the first row, the levels in the test's.
    EXPECT_EQ(Count(station.harness.Texts(ProgressStatus, 0), "Reading voltage = 2.50 #10"), 1);
    EXPECT_EQ(Count(Statuses(), "Reading voltage = 4.00 #1"), 1);
}

TEST_F(CycleSequence, OneCycleHasNoResynchronisationAndNoCycleTime) {
    ScriptCyclingUnit(station.daq, 1, 3);

    const SequenceRun out = RunSequence(station, CycleEntry(2));

    ASSERT_TRUE(out.result);
    EXPECT_EQ(station.daq.ReadCount(), 17u);
    EXPECT_EQ(Statuses().back(), "Done: Cycling completed in 0.00 seconds");
    EXPECT_THAT(Log(), Contains("1.00, 2.00, 3.00, 0.00"));
    EXPECT_THAT(Log(), Contains("TEST 4, CT, 0.00"));
    EXPECT_THAT(Log(), Contains("TEST 4, DELAY, 0, DIAG, 0, 0, 0"));
    EXPECT_THAT(Waits(), Not(Contains("Wait 0.50 secs for **to get to mid-level 1**")));
    EXPECT_EQ(out.measured.timeToOffB[0], 0.0);  // only the cut level's slot is written
    EXPECT_DOUBLE_EQ(out.measured.timeToOffB[2], 0.25);
}

TEST_F(CycleSequence, FourCyclesResynchroniseInTheThird) {
    ScriptCyclingUnit(station.daq, 4, 4);

    const SequenceRun out = RunSequence(station, CycleEntry(15));

    ASSERT_TRUE(out.result);
    EXPECT_EQ(Count(Waits(), "Wait 1.00 secs for to get to level 1"), 3);
    EXPECT_EQ(Count(Waits(), "Wait 0.50 secs for **to get to mid-level 1**"), 1);
    EXPECT_DOUBLE_EQ(out.measured.CT, 11.5);  // three cycles of 4 s from mid-level 1
    EXPECT_THAT(Log(), Contains("TEST 4, V4, 4.00, 4.00, 4.00"));
}

TEST_F(CycleSequence, CyclingIsCheckedInTheCutCycleOnlyWhenTheCutComesAfterLevelTwo) {
    for (const auto p5 : {15, 13}) {  // cycle 4, cut at level 4 and at level 2
        ScriptedStation s;
        s.settings = station.settings;
        ScriptWholeCycles(s.daq, 3);
        s.daq.Add({1.0, 1.1, 3.0, 4.0, 0.5});

        const SequenceRun out = RunSequence(s, CycleEntry(p5));

        ASSERT_TRUE(out.result);
        EXPECT_EQ(out.measured.notCycling, p5 == 15 ? 1 : 0) << p5;
        EXPECT_EQ(out.measured.timeToOffDone, p5 == 15 ? 0 : 1) << p5;
        EXPECT_EQ(out.measured.V1[3], p5 == 15 ? 0.0 : 1.0) << p5;
    }
}

TEST_F(CycleSequence, AStepOfVoltageDeltaCountsAsCycling) {
    for (const double v2 : {2.6, 2.5}) {
        ScriptedStation s;
        s.settings = station.settings;
        ScriptTimeToOn(s.daq);
        s.daq.Add({3.0, v2, 2.0, 1.0, 0.5});

        const SequenceRun out = RunSequence(s, CycleEntry(3));

        ASSERT_TRUE(out.result);
        const auto status = s.harness.Texts(ProgressStatus, kRow);
        if (v2 == 2.5) {
            EXPECT_EQ(out.measured.notCycling, 0);
            EXPECT_EQ(status.back(), "Done: Cycling completed in 0.00 seconds");
            continue;
        }
        EXPECT_EQ(out.measured.notCycling, 1);
        EXPECT_EQ(status.back(), "NOT cycling (V1=3.00, V2=2.60)");
        EXPECT_EQ(s.harness.Texts(ProgressWait, kRow).back(), "");
        EXPECT_EQ(s.harness.Texts(ProgressLog).back(), "NOT cycling (V1=3.00, V2=2.60)");
        EXPECT_EQ(s.daq.PowerWrites().back().state, 1);  // left on
        EXPECT_EQ(s.daq.ReadCount(), 12u);
    }
}

TEST_F(CycleSequence, TheTestsOwnOptionWinsAndAnInvalidOneKeepsThePrevious) {
    struct Case {
        std::int32_t p5, cycleBefore, levelBefore, cycle, level;
    };
    for (const Case& c : {Case{7, 4, 1, 2, 4}, Case{20, 1, 2, 1, 2}, Case{-1, 3, 3, 3, 3}}) {
        ScriptedStation s;
        s.settings = station.settings;
        s.run.ttoCycle = c.cycleBefore;
        s.run.ttoLevel = c.levelBefore;
        ScriptCyclingUnit(s.daq, c.cycle, c.level);

        const SequenceRun out = RunSequence(s, CycleEntry(c.p5));

        ASSERT_TRUE(out.result);
        EXPECT_EQ(s.run.ttoCycle, c.cycle) << c.p5;
        EXPECT_EQ(s.run.ttoLevel, c.level) << c.p5;
        EXPECT_DOUBLE_EQ(out.measured.timeToOffB[c.level - 1], 0.25) << c.p5;
    }
}

TEST_F(CycleSequence, StopDuringTheFirstWaitAbandonsAtOnce) {
    station.settings.cfgTime1 = 20000;
    station.PressStopOn("Wait 20.00 secs for to ensure OFF");

    EXPECT_FALSE(RunSequence(station, CycleEntry(10)).result);

    EXPECT_EQ(station.harness.Clock().ElapsedMs(), 0u);
    EXPECT_EQ(station.daq.PowerWrites().size(), 1u);
    EXPECT_THAT(Log(), IsEmpty());
}

TEST_F(CycleSequence, ADeviceFailureAbandonsWithoutAVerdict) {
    struct Failure {
        const char* name;
        std::size_t failedPowerWrite;  // 0: a reading fails instead
        std::size_t goodReadings;      // before the failed reading
        std::size_t powerWrites;
    };
    for (const Failure& f :
         {Failure{"switch for T3", 6, 0, 6}, Failure{"cycle 1 level 3 reading", 0, 12, 8},
          Failure{"fall detection reading", 0, 15, 8}}) {
        ScriptedStation s;
        s.settings = station.settings;
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
        EXPECT_EQ(s.harness.Texts(ProgressStatus, kRow).back(),
                  f.failedPowerWrite ? "LabJack control output failed. Code 1008"
                                     : "LabJack voltage read failed. Code 1008")
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
    EXPECT_THAT(Log(), Contains("TEST 4, DELAY, 0, DIAG, 0, 0, 0"));
}

}  // namespace
}  // namespace orvalt
