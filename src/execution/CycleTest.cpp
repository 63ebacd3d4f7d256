#include "execution/CycleTest.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>

#include "domain/Format.h"
#include "domain/LevelStatistics.h"
#include "execution/Primitives.h"
#include "execution/StopCheck.h"
#include "execution/TimeToOff.h"
#include "execution/TimeToOn.h"
#include "execution/VoltageChange.h"

namespace orvalt {

namespace {

constexpr int kLevels = 4;
constexpr int kMaxCycles = 4;

using LevelVolts = std::array<double, kLevels>;

class CycleTest {
  public:
    enum class Outcome { Continue, NotCycling, Abandoned };

    CycleTest(RunRecord& run, LJ_HANDLE handle, int row, const TestPlanEntry& entry,
              TestMeasurements& measured)
        : run_(run),
          settings_(*run.io.settings),
          handle_(handle),
          row_(row),
          entry_(entry),
          measured_(measured) {}

    bool Run() {
        if (!MeasureSwitchOn() || !GiveSetupPulses() || !StartCycling()) {
            return false;
        }
        ChooseSwitchOffPoint();
        for (int cycle = 0; cycle < cycles_; ++cycle) {
            const Outcome outcome = RunCycle(cycle);
            if (outcome != Outcome::Continue) {
                return outcome == Outcome::NotCycling;
            }
        }
        ReportVerdict();
        return true;
    }

  private:
    void Post(ProgressKind kind, std::string text) {
        PostProgress(run_, kind, row_, std::move(text));
    }
    bool Switch(std::int32_t state) { return SetPowerOutput(run_, handle_, row_, state); }
    bool Wait(std::int32_t ms, std::string_view label) {
        return WaitThenGoOn(run_, row_, ms, label);
    }
    bool Pulse(std::int32_t state, std::int32_t ms, std::string_view label) {
        return Switch(state) && Wait(ms, label);
    }

    // The unit is held off, then timed from switch-on to its threshold. The
    // measurement's own failure only costs its figure; a stop ends the test.
    bool MeasureSwitchOn() {
        if (!Switch(0) || !Wait(settings_.cfgTime1, "to ensure OFF")) {
            return false;
        }
        const int seconds = settings_.cfgTime2 / 1000;
        {
            const std::string text = Format("Time To ON Test and wait for %d seconds", seconds);
            const ShownWait shown(run_, seconds * 1000, text);
            Post(ProgressWait, text);
            static_cast<void>(MeasureTimeToOn(run_, handle_, seconds, measured_.timeToOn,
                                              &measured_.timeToOnSwitchTick));
        }
        if (!RunGoesOn(run_)) {
            return false;
        }
        ClearWaitCell(run_, row_);
        return true;
    }

    // The pulse pattern the unit must see before it starts cycling.
    bool GiveSetupPulses() {
        if (!Switch(0) || !Wait(settings_.cfgTime6, "Wait before start")) {
            return false;
        }
        ClearWaitCell(run_, row_);
        return Pulse(1, entry_.P1, "T1") && Pulse(0, entry_.P2, "T2") &&
               Pulse(1, entry_.P3, "T3") && Pulse(0, entry_.P4, "T4");
    }

    // Only what the driver reports from this power-on counts for the judgement.
    bool StartCycling() {
        ResetDiagTable(*run_.io.diagTable);
        if (!Switch(1)) {
            return false;
        }
        startTick_ = run_.io.clock->NowMs();
        return Wait(settings_.cfgTime3, "to get started") &&
               Wait(settings_.cfgTime4, "to get to middle of level 1");
    }

    // The test's own option wins over the operator's; the clamp only guards the
    // per-cycle arrays against a run record filled with an impossible pair.
    void ChooseSwitchOffPoint() {
        DecodeTtoOption(entry_.P5, run_.ttoCycle, run_.ttoLevel);
        cycles_ = std::clamp<std::int32_t>(run_.ttoCycle, 1, kMaxCycles);
        switchOffLevel_ = std::clamp<std::int32_t>(run_.ttoLevel, 1, kLevels);
    }

    Outcome RunCycle(int cycle) {
        LevelVolts volts{};
        const Outcome outcome = ReadLevels(cycle, volts);
        if (outcome != Outcome::Continue) {
            return outcome;
        }
        StoreCycle(cycle, volts);
        return EndCycle(cycle, volts[kLevels - 1]) ? Outcome::Continue : Outcome::Abandoned;
    }

    // Reads each level in its middle; in the last cycle the power is cut at the
    // chosen level and the later levels stay 0.
    Outcome ReadLevels(int cycle, LevelVolts& volts) {
        for (int level = 1; level <= kLevels; ++level) {
            if (level > 1 &&
                !Wait(settings_.cfgLevelDuration, Format("to get to level %d", level))) {
                return Outcome::Abandoned;
            }
            const auto reading = ReadVoltage(run_, handle_, row_, 0);
            if (!reading) {
                return Outcome::Abandoned;
            }
            volts[level - 1] = *reading;
            if (cycle == cycles_ - 1 && level == switchOffLevel_) {
                MeasureSwitchOff(level);
                return Outcome::Continue;
            }
            if (level == 2 && !CheckCycling(volts[0], volts[1])) {
                return Outcome::NotCycling;
            }
        }
        return Outcome::Continue;
    }

    // A level-1 to level-2 step below VoltageDelta means the unit is not cycling:
    // a verdict, shown and logged, with the unit left on.
    bool CheckCycling(double v1, double v2) {
        if (std::fabs(v2 - v1) >= settings_.voltageDelta) {
            return true;
        }
        const std::string text = Format("NOT cycling (V1=%.2f, V2=%.2f)", v1, v2);
        Post(ProgressStatus, text);
        ClearWaitCell(run_, row_);
        Post(ProgressLog, text);
        measured_.notCycling = 1;
        return false;
    }

    // Its failure only costs its figures; the sequence's next stop check decides.
    void MeasureSwitchOff(int level) {
        static_cast<void>(MeasureTimeToOff(
            run_, handle_, level, measured_.timeToOffA[level - 1], measured_.timeToOffB[level - 1],
            measured_.delay, measured_.diagValue, measured_.saveNotAsExpected, measured_.priorCount,
            &measured_.timeToOffSwitchTick, &measured_.diagReceived));
        measured_.timeToOffDone = 1;
    }

    void StoreCycle(int cycle, const LevelVolts& volts) {
        measured_.V1[cycle] = volts[0];
        measured_.V2[cycle] = volts[1];
        measured_.V3[cycle] = volts[2];
        measured_.V4[cycle] = volts[3];
        Post(ProgressLog, Format("%.2f, %.2f, %.2f, %.2f", volts[0], volts[1], volts[2], volts[3]));
    }

    // Before the switch-off cycle the timing is put back on the unit's own fall
    // from level 4, so that the cut lands in the middle of the chosen level.
    bool EndCycle(int cycle, double level4Volts) {
        if (cycle != cycles_ - 2) {
            return Wait(settings_.cfgLevelDuration, "to get to level 1");
        }
        if (!ReadUntilVoltageChanges(run_, handle_, row_, level4Volts)) {
            return false;
        }
        cycleEndTick_ = run_.io.clock->NowMs();
        return Wait(settings_.cfgTime7, "**to get to mid-level 1**");
    }

    void ReportVerdict() {
        if (cycleEndTick_) {
            measured_.CT = TicksToSeconds(startTick_, *cycleEndTick_);
        }
        Post(ProgressStatus, Format("Done: Cycling completed in %.2f seconds", measured_.CT));
        ClearWaitCell(run_, row_);
        const int number = entry_.index + 1;
        PostLevelFigures(number, "V1", measured_.V1);
        PostLevelFigures(number, "V2", measured_.V2);
        PostLevelFigures(number, "V3", measured_.V3);
        PostLevelFigures(number, "V4", measured_.V4);
        Post(ProgressLog, Format("TEST %d, CT, %.2f", number, measured_.CT));
        if (measured_.timeToOffDone == 1) {
            Post(ProgressLog,
                 Format("TEST %d, DELAY, %d, DIAG, %d, %d, %d", number, measured_.delay,
                        measured_.diagValue, measured_.saveNotAsExpected, measured_.priorCount));
        }
    }

    void PostLevelFigures(int number, const char* name, const std::array<double, 4>& values) {
        const LevelStatistics figures = StatisticsOf(values, cycles_);
        Post(ProgressLog, Format("TEST %d, %s, %.2f, %.2f, %.2f", number, name, figures.maximum,
                                 figures.minimum, figures.average));
    }

    RunRecord& run_;
    const SettingsRecord& settings_;
    LJ_HANDLE handle_;
    int row_;
    const TestPlanEntry& entry_;
    TestMeasurements& measured_;
    std::int32_t cycles_ = 1;
    std::int32_t switchOffLevel_ = 1;
    std::uint32_t startTick_ = 0;
    std::optional<std::uint32_t> cycleEndTick_;
};

}  // namespace

bool RunCycleTest(RunRecord& run, LJ_HANDLE handle, int row, const TestPlanEntry& entry,
                  TestMeasurements& measured) {
    return CycleTest(run, handle, row, entry, measured).Run();
}

}  // namespace orvalt
