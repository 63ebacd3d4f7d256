#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "execution/Primitives.h"
#include "support/ScriptedStation.h"

namespace orvalt {
namespace {

using testing::ScriptedStation;

// Presses Stop at a given moment of virtual time, inside a running sleep.
struct StopAt : VirtualEventSource {
    StopAt(ScriptedStation& s, std::uint64_t at) : station(s), due(at) {}
    std::optional<std::uint64_t> NextDue() override {
        return fired ? std::nullopt : std::optional(due);
    }
    void Fire(std::uint64_t) override {
        fired = true;
        station.PressStop();
    }
    ScriptedStation& station;
    std::uint64_t due;
    bool fired = false;
};

// A stop ends the wait at its own moment, however long the wait: time moves no
// further, and a wait that begins stopped does not sleep at all.
TEST(TimedWait, SleepsTheWholeWaitUnlessAStopEndsItAtTheMomentItComes) {
    struct Case {
        std::int32_t ms;
        std::optional<std::uint64_t> stopAt;
        bool stoppedBefore;
        std::uint64_t expectedElapsed;
    };
    const Case cases[] = {
        {1100, std::nullopt, false, 1100}, {1100, 300, false, 300},
        {3600000, 1101, false, 1101},      {200, std::nullopt, true, 0},
        {0, std::nullopt, false, 0},       {-40, std::nullopt, false, 0},
    };
    for (const Case& c : cases) {
        ScriptedStation station;
        StopAt stopper(station, c.stopAt.value_or(0));
        if (c.stopAt)
            station.harness.Clock().AddEventSource(&stopper);
        if (c.stoppedBefore)
            station.PressStop();
        station.harness.RunOnWorker([&] { TimedWait(station.run, 0, c.ms, ""); });
        EXPECT_EQ(station.harness.Clock().ElapsedMs(), c.expectedElapsed) << c.ms;
        EXPECT_TRUE(station.harness.Messages().empty());
        station.harness.Clock().RemoveEventSource(&stopper);
    }
}

// In real time the wait sleeps on the run flag itself: Stop from another
// thread ends a minute's wait at once (the bound only says it was woken, not
// that it slept to its end).
TEST(TimedWait, InRealTimeAStopFromAnotherThreadEndsAMinutesWait) {
    RealClock clock;
    RunFlag flag;
    flag.Raise();
    RunRecord run;
    run.runFlag = &flag;
    run.io.clock = &clock;
    std::promise<void> ended;
    std::thread worker([&] {
        TimedWait(run, 0, 60000, "");
        ended.set_value();
    });
    flag.Lower();
    const bool woke =
        ended.get_future().wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    worker.join();
    EXPECT_TRUE(woke);
}

TEST(TimedWait, AnnouncesItselfInTheRowsWaitCell) {
    ScriptedStation station;
    station.harness.RunOnWorker([&] { TimedWait(station.run, 3, 2000, "T1"); });
    EXPECT_EQ(station.harness.Texts(ProgressWait, 3),
              std::vector<std::string>{"Wait 2.00 secs for T1"});
}

TEST(ReadVoltage, ReportsEachReadingAndTellsAFailureApartFromMinusOneVolt) {
    ScriptedStation station;
    station.daq.Add({1.234, -1.0});
    station.daq.AddError(LJE_COMM_FAILURE);
    std::vector<std::optional<double>> readings;
    station.run.extraLog = 1;
    station.harness.RunOnWorker([&] {
        for (int i = 0; i < 3; ++i)
            readings.push_back(ReadVoltage(station.run, station.run.deviceHandle, 2, i));
    });
    ASSERT_EQ(readings.size(), 3u);
    EXPECT_DOUBLE_EQ(*readings[0], 1.234);
    EXPECT_DOUBLE_EQ(*readings[1], -1.0);  // a reading, not a failure
    EXPECT_FALSE(readings[2].has_value());
    EXPECT_EQ(station.harness.Texts(ProgressStatus, 2),
              (std::vector<std::string>{"Reading voltage = 1.23 #1", "Reading voltage = -1.00 #2",
                                        "LabJack voltage read failed. Code 1008"}));
    // Extra Log copies readings to the log; failures never go there.
    EXPECT_EQ(
        station.harness.Texts(ProgressLog),
        (std::vector<std::string>{"Reading voltage = 1.23 #1", "Reading voltage = -1.00 #2"}));
}

TEST(SetPowerOutput, SwitchesLineFourAndReportsOnOffOrTheDriversCode) {
    ScriptedStation station;
    station.daq.FailPowerWrite(3, LJE_COMM_TIMEOUT);
    std::vector<bool> results;
    station.harness.RunOnWorker([&] {
        for (int state : {0, 1, 1})
            results.push_back(SetPowerOutput(station.run, station.run.deviceHandle, 0, state));
    });
    EXPECT_EQ(results, (std::vector<bool>{true, true, false}));
    EXPECT_EQ(station.harness.Texts(ProgressStatus),
              (std::vector<std::string>{"Setting output OFF", "Setting output ON",
                                        "LabJack control output failed. Code 1011"}));
    EXPECT_TRUE(station.harness.Texts(ProgressLog).empty());
}

TEST(ReportSuccess, PostsTheStatusBeforeItsExtraLogCopy) {
    ScriptedStation station;
    station.daq.Add({2.5});
    station.run.extraLog = 1;
    station.harness.RunOnWorker([&] {
        ReadVoltage(station.run, station.run.deviceHandle, 1, 0);
        SetPowerOutput(station.run, station.run.deviceHandle, 1, 1);
    });
    std::vector<std::pair<int, std::string>> posted;
    for (const PostedMessage& m : station.harness.Messages()) {
        if (const auto* progress = std::get_if<ProgressMessage>(&m))
            posted.emplace_back(progress->kind, progress->text);
    }
    const std::vector<std::pair<int, std::string>> expected{
        {ProgressStatus, "Reading voltage = 2.50 #1"},
        {ProgressLog, "Reading voltage = 2.50 #1"},
        {ProgressStatus, "Setting output ON"},
        {ProgressLog, "Setting output ON"},
    };
    EXPECT_EQ(posted, expected);
}

TEST(Marker, AlternatesAtEveryDeviceAccessAcrossRunsOnlyWhileDoOutput5IsOn) {
    ScriptedStation station;
    auto access = [&] {
        station.harness.RunOnWorker([&] {
            ReadVoltage(station.run, station.run.deviceHandle, 0, 0);
            SetPowerOutput(station.run, station.run.deviceHandle, 0, 1);
            ReadVoltage(station.run, station.run.deviceHandle, 0, 1);
        });
    };
    auto markerWrites = [&] {
        std::vector<std::int32_t> levels;
        for (const auto& w : station.daq.Writes()) {
            if (w.channel == 5)
                levels.push_back(w.state);
        }
        return levels;
    };
    access();
    EXPECT_TRUE(markerWrites().empty());
    station.run.doOutput5 = 1;
    access();
    access();  // a second run: the level carries on, it is never reset
    EXPECT_EQ(markerWrites(), (std::vector<std::int32_t>{1, 0, 1, 0, 1, 0}));
    // The marker is written before the access it marks.
    const auto writes = station.daq.Writes();
    EXPECT_EQ(writes[writes.size() - 3].channel, 5);
    EXPECT_EQ(writes[writes.size() - 2].channel, 4);
}

TEST(DecodeTtoOption, MapsSixteenIndexesAndLeavesOthersAlone) {
    struct Case {
        std::int32_t index, cycle, level;
    };
    for (const Case c : {Case{0, 1, 1}, Case{3, 1, 4}, Case{4, 2, 1}, Case{10, 3, 3},
                         Case{15, 4, 4}, Case{16, 9, 9}, Case{-1, 9, 9}}) {
        std::int32_t cycle = 9, level = 9;
        DecodeTtoOption(c.index, cycle, level);
        EXPECT_EQ(cycle, c.cycle) << c.index;
        EXPECT_EQ(level, c.level) << c.index;
    }
}

}  // namespace
}  // namespace orvalt
