#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "sim/SimulatedDiagLines.h"
#include "sim/SimulatedU3.h"
#include "sim/SimulatedUnit.h"

namespace orvalt {
namespace {

std::vector<std::string> CollectLines(SimulatedUnit& unit, std::uint64_t until) {
    std::vector<std::string> lines;
    while (auto due = unit.NextDiagDue()) {
        if (*due > until)
            break;
        unit.EmitDueDiagLines(*due, [&](const std::string& line) { lines.push_back(line); });
    }
    return lines;
}

TEST(SimulatedUnit, StepsThroughItsFourLevelsInTheMiddleOfEachDefaultWait) {
    SimulatedUnit unit{UnitProfile{}};
    unit.SetPower(true, 1000);
    EXPECT_NEAR(unit.Voltage(1000 + 1000), 0.0, 1e-9);  // still in its start delay
    const double expected[] = {2.6, 3.3, 4.0, 4.7, 2.6};
    for (int i = 0; i < 5; ++i) {
        // 2 s "to get started" + 3 s "to middle of level 1", then 4 s a level.
        EXPECT_DOUBLE_EQ(unit.Voltage(1000 + 5000 + 4000 * i), expected[i]) << i;
    }
}

TEST(SimulatedUnit, DecaysExponentiallyAfterPowerCut) {
    UnitProfile profile;
    profile.offTauMs = 500;
    SimulatedUnit unit{profile};
    unit.SetPower(true, 0);
    unit.SetPower(false, 9000);  // middle of level 2
    EXPECT_NEAR(unit.Voltage(9500), 3.3 * std::exp(-1.0), 1e-9);
    EXPECT_NEAR(unit.Voltage(9000 + 5000), 3.3 * std::exp(-10.0), 1e-9);
}

TEST(SimulatedUnit, CyclesOnlyAfterItsSetUpPattern) {
    UnitProfile profile;
    profile.setupPattern = std::array<std::int32_t, 4>{1500, 2000, 250, 3000};
    profile.setupToleranceMs = 50;
    auto pulse = [](SimulatedUnit& unit, std::array<std::uint64_t, 4> lengths) {
        std::uint64_t t = 100;
        for (int i = 0; i < 4; ++i) {
            unit.SetPower(i % 2 == 0, t);
            t += lengths[static_cast<std::size_t>(i)];
        }
        unit.SetPower(true, t);
        return t;
    };
    SimulatedUnit good{profile};
    const std::uint64_t on = pulse(good, {1510, 1980, 250, 3000});
    EXPECT_TRUE(good.Cycling());
    EXPECT_DOUBLE_EQ(good.Voltage(on + 9000), 3.3);

    SimulatedUnit wrong{profile};
    const std::uint64_t on2 = pulse(wrong, {1500, 2000, 400, 3000});
    EXPECT_FALSE(wrong.Cycling());
    EXPECT_DOUBLE_EQ(wrong.Voltage(on2 + 9000), 2.6);  // stays at level 1
}

TEST(SimulatedUnit, ReportsItsLevelPeriodicallyAndTheSavedLevelAtPowerLoss) {
    UnitProfile profile;
    profile.diagPeriodMs = 4000;
    profile.diagDelay = 0x1f;
    SimulatedUnit unit{profile};
    unit.SetPower(true, 0);
    auto lines = CollectLines(unit, 12999);
    unit.SetPower(false, 13000);  // level 3 (index 2)
    for (auto& line : CollectLines(unit, 20000))
        lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"1f 2 0", "1f 2 1", "1f 2 2", "1f 2 2"}));

    profile.diagSaveLevelOffset = 1;
    SimulatedUnit wrongSave{profile};
    wrongSave.SetPower(true, 0);
    wrongSave.SetPower(false, 13000);
    EXPECT_EQ(CollectLines(wrongSave, 20000).back(), "1f 2 3");

    profile.diagSilent = true;
    SimulatedUnit silent{profile};
    silent.SetPower(true, 0);
    silent.SetPower(false, 13000);
    EXPECT_TRUE(CollectLines(silent, 20000).empty());
}

TEST(SimulatedU3, FailsOnDemandAndRecordsTheMarker) {
    UnitProfile profile;
    profile.failReadAfter = 2;
    profile.failOutputAfter = 1;
    profile.accessMs = 3;
    SimulatedUnit unit{profile};
    VirtualClock clock;
    SimulatedU3 device{unit, clock};
    LJ_HANDLE handle = 0;
    EXPECT_EQ(device.OpenLabJack(2, LJ_ctUSB, "", 1, &handle), LJE_INVALID_DEVICE_TYPE);
    ASSERT_EQ(device.OpenLabJack(LJ_dtU3, LJ_ctUSB, "", 1, &handle), LJE_NOERROR);

    double volts = 0;
    EXPECT_EQ(device.eGet(handle, LJ_ioGET_AIN, 0, &volts, 0), LJE_NOERROR);
    EXPECT_EQ(device.eGet(handle, LJ_ioGET_AIN, 0, &volts, 0), LJE_NOERROR);
    EXPECT_EQ(device.eGet(handle, LJ_ioGET_AIN, 0, &volts, 0), SimulatedU3::kFaultCode);
    EXPECT_EQ(device.eDO(handle, 4, 1), LJE_NOERROR);
    EXPECT_TRUE(unit.Powered());
    EXPECT_EQ(device.eDO(handle, 4, 0), SimulatedU3::kFaultCode);
    EXPECT_TRUE(unit.Powered());  // the failed switch did not happen
    EXPECT_EQ(device.eDO(handle, 5, 1), LJE_NOERROR);
    EXPECT_EQ(device.eDO(handle, 5, 0), LJE_NOERROR);  // the marker never fails
    EXPECT_EQ(device.MarkerWrites(), (std::vector<std::int32_t>{1, 0}));
    EXPECT_EQ(clock.ElapsedMs(), 7u * 3u);  // every access took its time

    device.SetOpenError(LJE_LABJACK_NOT_FOUND);
    EXPECT_EQ(device.OpenLabJack(LJ_dtU3, LJ_ctUSB, "", 1, &handle), LJE_LABJACK_NOT_FOUND);
}

TEST(SimulatedU3, SameSeedGivesTheSameNoise) {
    UnitProfile profile;
    profile.noiseMv = 20;
    profile.seed = 42;
    auto readings = [&] {
        SimulatedUnit unit{profile};
        VirtualClock clock;
        SimulatedU3 device{unit, clock};
        LJ_HANDLE handle = 0;
        device.OpenLabJack(LJ_dtU3, LJ_ctUSB, "", 1, &handle);
        std::vector<double> values(50);
        for (double& v : values) {
            device.eGet(handle, LJ_ioGET_AIN, 0, &v, 0);
            EXPECT_LE(std::abs(v), 0.020 + 1e-12);
        }
        return values;
    };
    const auto first = readings();
    EXPECT_EQ(first, readings());
    EXPECT_NE(first.front(), first.back());
}

// A lot's next unit in the fixture: nothing of the last one carries over, not
// its power, its reading noise, nor the accesses its faults counted.
TEST(SimulatedU3, AReplacedUnitIsAFreshUnitOfItsOwnProfile) {
    UnitProfile worn;
    worn.failReadAfter = 1;
    worn.noiseMv = 20;
    SimulatedUnit unit{worn};
    VirtualClock clock;
    SimulatedU3 device{unit, clock};
    LJ_HANDLE handle = 0;
    ASSERT_EQ(device.OpenLabJack(LJ_dtU3, LJ_ctUSB, "", 1, &handle), LJE_NOERROR);
    double volts = 0;
    ASSERT_EQ(device.eDO(handle, 4, 1), LJE_NOERROR);
    EXPECT_EQ(device.eGet(handle, LJ_ioGET_AIN, 0, &volts, 0), LJE_NOERROR);
    EXPECT_EQ(device.eGet(handle, LJ_ioGET_AIN, 0, &volts, 0), SimulatedU3::kFaultCode);

    UnitProfile next = worn;
    next.levels = {1.0, 1.5, 2.0, 2.5};
    next.startMs = 0;
    next.onRampMs = 0;
    next.seed = 7;
    unit.Replace(next);
    device.UnitReplaced();
    EXPECT_FALSE(unit.Powered());
    EXPECT_FALSE(unit.NextDiagDue().has_value());  // the last one's loss line went with it
    const auto firstReading = [&] {
        device.eDO(handle, 4, 1);
        clock.SleepMs(10);
        double reading = 0;
        EXPECT_EQ(device.eGet(handle, LJ_ioGET_AIN, 0, &reading, 0), LJE_NOERROR);
        device.eDO(handle, 4, 0);
        return reading;
    };
    const double reading = firstReading();
    EXPECT_NEAR(reading, 1.0, 0.020 + 1e-12);  // its own level 1, read once again
    // The same unit put in again reads the same: its noise starts from its seed.
    unit.Replace(next);
    device.UnitReplaced();
    EXPECT_EQ(firstReading(), reading);
}

TEST(VirtualDiagLines, DeliversEachLineWhenTheClockPassesItsMoment) {
    UnitProfile profile;
    profile.diagPeriodMs = 1000;
    SimulatedUnit unit{profile};
    VirtualClock clock(0xFFFFF000u);  // the tick count wraps during the test
    SimulatedU3 device{unit, clock};
    std::vector<std::pair<std::uint64_t, std::string>> lines;
    VirtualDiagLines carrier{unit, device, clock, [&](const std::string& line) {
                                 lines.emplace_back(clock.ElapsedMs(), line);
                             }};
    LJ_HANDLE handle = 0;
    device.OpenLabJack(LJ_dtU3, LJ_ctUSB, "", 1, &handle);
    device.eDO(handle, 4, 1);
    clock.SleepMs(2500);
    device.eDO(handle, 4, 0);
    clock.SleepMs(100);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].first, 1000u);
    EXPECT_EQ(lines[1].first, 2000u);
    EXPECT_EQ(lines[2].first, 2502u);
}

}  // namespace
}  // namespace orvalt
