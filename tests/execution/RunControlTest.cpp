#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "config/SettingsTable.h"
#include "execution/CloseConfirmation.h"
#include "station/StationSession.h"
#include "support/DeviceTap.h"
#include "support/SessionDriving.h"
#include "support/TempFolder.h"

namespace orvalt {
namespace {

using namespace std::chrono_literals;

// A device whose reads can be made to hang, as a U3 that stops answering does.
class HangingDaq final : public Daq {
  public:
    explicit HangingDaq(Daq& inner) : inner_(inner) {}
    LJ_ERROR Open(std::string_view serial, LJ_HANDLE* h) override { return inner_.Open(serial, h); }
    LJ_ERROR ReadLightLevel(LJ_HANDLE h, double* v) override {
        std::unique_lock lock(mutex_);
        hanging_ = hang_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !hang_; });
        hanging_ = false;
        lock.unlock();
        return inner_.ReadLightLevel(h, v);
    }
    LJ_ERROR SwitchPower(LJ_HANDLE h, std::int32_t s) override { return inner_.SwitchPower(h, s); }
    DaqIdentity Identity(LJ_HANDLE h) const override { return inner_.Identity(h); }
    LJ_ERROR SetMarker(LJ_HANDLE h, std::int32_t level) override {
        return inner_.SetMarker(h, level);
    }

    void Hang() {
        std::scoped_lock lock(mutex_);
        hang_ = true;
    }
    void WaitUntilHanging() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return hanging_; });
    }
    void Release() {
        {
            std::scoped_lock lock(mutex_);
            hang_ = false;
        }
        changed_.notify_all();
    }

  private:
    Daq& inner_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool hang_ = false;
    bool hanging_ = false;
};

// Counts the runs that began.
class RunsBegun final : public SessionObserver {
  public:
    void RunStarted(int /*runNumber*/) override { ++count; }
    std::atomic<int> count{0};
};

// The window side of a run on a simulated station session: the test's thread
// is the handler thread and handles every post.
class RunControlTest : public ::testing::Test {
  protected:
    // `terminateWaitMs`: the TaskTerminateWaitTime of the settings file the
    // session starts from, when it is given one.
    explicit RunControlTest(bool virtualTime = true, UnitProfile profile = {},
                            std::optional<std::int32_t> terminateWaitMs = std::nullopt)
        : session(Options(virtualTime, std::move(profile), terminateWaitMs)),
          model(session.Model()) {
        Attach();
        session.Observers().Attach(summary);
        session.Observers().Attach(runsBegun);
    }
    ~RunControlTest() override {
        session.Observers().Detach(runsBegun);
        session.Observers().Detach(summary);
    }

    SessionOptions Options(bool virtualTime, UnitProfile profile,
                           std::optional<std::int32_t> terminateWaitMs) {
        SessionOptions options{
            StationOptions{true, virtualTime, std::move(profile), tap.Wrap(HangingWrapper())}, {}};
        if (terminateWaitMs) {
            SettingsRecord settings;
            settings.TaskTerminateWaitTime = *terminateWaitMs;
            RegistryStore store(folder / "Orvalt.reg");
            EXPECT_TRUE(SaveStationSettings(settings, store).Ok());
            options.settingsFile = folder / "Orvalt.reg";
        }
        options.watchRunFlag = [this](const RunFlag& flag) { runFlag = &flag; };
        return options;
    }

    // The window's wiring: its fields validate while `fieldsValid` holds.
    void Attach() {
        SessionFront front;
        front.runHooks =
            RunControlHooks{[this] { return fieldsValid; },
                            [this](const std::string& t) { messageBoxes.push_back(t); }};
        front.posted = [this](const PostedMessage& m) { HoldPoster(m); };
        front.unitPower = [this](const std::string& t) { powerReports.push_back(t); };
        session.Attach(std::move(front));
    }

    std::function<std::unique_ptr<Daq>(Daq&)> HangingWrapper() {
        return [this](Daq& inner) {
            auto daq = std::make_unique<HangingDaq>(inner);
            hanging = daq.get();
            return daq;
        };
    }

    void LoadPlan(std::vector<TestPlanEntry> entries) {
        std::vector<TestRowTexts> rows(entries.size());
        TestPlan plan;
        plan.entries = std::move(entries);
        session.UsePlan(std::move(plan), std::move(rows));
    }

    // One field of the dialog set as the window's exchange sets it.
    template <class Value>
    void SetField(Value DialogValues::*field, Value value) {
        DialogValues values = model.values;
        values.*field = value;
        session.SetDialogValues(values);
    }

    // Handles posts until `done` holds or the time runs out.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::seconds limit = 20s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            session.HandleNext(5ms, beforeHandling);
        }
        return true;
    }

    // Presses Start, then handles posts as PumpUntil, but the worker is kept
    // where it posted the message `holdAt` picks until ReleaseHeldPost or a
    // stop: what the test does next meets the run exactly there. The hold is
    // set before Start, since in virtual time the worker runs ahead of the
    // handler by a batch of posts.
    bool StartAndPumpUntilHolding(const std::function<bool(const PostedMessage&)>& holdAt,
                                  const std::function<bool()>& done) {
        {
            std::scoped_lock lock(holdMutex_);
            holdAt_ = holdAt;
            released_ = false;
        }
        test::PressStartStop(session);
        return PumpUntil(done);
    }

    void ReleaseHeldPost() {
        {
            std::scoped_lock lock(holdMutex_);
            released_ = true;
            holdAt_ = nullptr;
        }
        holdChanged_.notify_all();
    }

    static std::function<bool(const PostedMessage&)> IsWait(std::string text) {
        return [text](const PostedMessage& m) {
            const auto* progress = std::get_if<ProgressMessage>(&m);
            return progress && progress->kind == ProgressWait && progress->text == text;
        };
    }

    bool PumpUntilRunOver() { return test::HandleUntilRunOver(session, 20s, beforeHandling); }

    // Runs a plan of one test to its end: what it leaves in the log and the
    // summary is there before the Start a test is about.
    void RunOneTestFirst(const TestPlanEntry& test) {
        LoadPlan({test});
        test::PressStartStop(session);
        ASSERT_TRUE(PumpUntilRunOver());
        ASSERT_EQ(session.Status().completedTests, 1u);
        ASSERT_FALSE(model.LogLines().empty());
        ASSERT_FALSE(model.TestRows()[0][kStatusColumn].empty());
        messageBoxes.clear();
    }

    // A stopped worker that overran its stop is still going.
    bool AbandonedWorkerGoing() {
        const SessionStatus status = session.Status();
        return status.threadsGoing && !status.runGoing;
    }

    bool StartsOpenSaveAndChecksEnabled() const {
        const RunControlsState& controls = model.Controls();
        return controls.startStopEnabled && controls.planAndOptionsEnabled &&
               controls.startStop == StartStop::Start;
    }

    static TestPlanEntry CycleTest(int index, int p5) {
        return TestPlanEntry{1500, 2000, 250, 3000, p5, 0, index};
    }
    static TestPlanEntry OnOffTest(int index) {
        return TestPlanEntry{0, 5000, 5000, 2000, 5000, 2000, index};
    }

    test::TempFolder folder;
    test::DeviceTap tap;
    HangingDaq* hanging = nullptr;
    const RunFlag* runFlag = nullptr;
    test::SummaryWatch summary;
    RunsBegun runsBegun;
    bool fieldsValid = true;
    std::vector<std::string> messageBoxes;
    std::vector<std::string> powerReports;
    std::function<void(const PostedMessage&)> beforeHandling;

  private:
    // On the worker's thread: it waits here, as in a sleep of virtual time,
    // until released or stopped.
    void HoldPoster(const PostedMessage& message) {
        std::unique_lock lock(holdMutex_);
        if (!holdAt_ || !holdAt_(message))
            return;
        const auto limit = std::chrono::steady_clock::now() + 10s;
        while (!released_ && runFlag->Up() && std::chrono::steady_clock::now() < limit) {
            holdChanged_.wait_for(lock, 1ms);
        }
    }

    std::mutex holdMutex_;
    std::condition_variable holdChanged_;
    std::function<bool(const PostedMessage&)> holdAt_;
    bool released_ = false;

  protected:
    // Last: it stops its worker before anything the worker reaches goes.
    StationSession session;
    const WindowModel& model;
};

TEST_F(RunControlTest, StartRefusesAPlanWithoutTestsAndTouchesNothing) {
    RunOneTestFirst(OnOffTest(0));
    const std::vector<std::string> log = model.LogLines();
    LoadPlan({});
    tap.Device().SetOpenError(LJE_LABJACK_NOT_FOUND);  // the device is not even tried
    const StartOutcome outcome = session.Start();
    EXPECT_EQ(outcome.refusal, StartRefusal::PlanEmpty);
    EXPECT_EQ(outcome.message, kPlanHoldsNoTests);
    EXPECT_EQ(messageBoxes, std::vector<std::string>{kPlanHoldsNoTests});
    EXPECT_FALSE(session.Status().runGoing);
    EXPECT_EQ(runsBegun.count, 1);  // the earlier run's
    EXPECT_TRUE(StartsOpenSaveAndChecksEnabled());
    EXPECT_EQ(session.Status().completedTests, 1u);
    EXPECT_EQ(model.LogLines(), log);
}

// What the front ends show of a run is the worker's own account: the wait it
// announced, with the very text of the Wait cell and its length, and the last
// reading it took, as the log has it.
TEST_F(RunControlTest, TheStatusHoldsTheAnnouncedWaitAndTheLastReading) {
    LoadPlan({OnOffTest(0), OnOffTest(1)});
    SetField(&DialogValues::extraLog, 1);
    ASSERT_TRUE(StartAndPumpUntilHolding(IsWait("Wait 5.00 secs for Off duration"), [this] {
        return !model.TestRows()[0][kWaitColumn].empty();
    }));
    RunStatusNow status = session.Status().run;
    EXPECT_EQ(status.tests, 2);
    EXPECT_EQ(status.test, 0);
    ASSERT_TRUE(status.wait);
    EXPECT_EQ(status.wait->text, model.TestRows()[0][kWaitColumn]);
    EXPECT_EQ(status.wait->ms, 5000);
    EXPECT_EQ(status.wait->leftMs, 5000);  // virtual time stands while the worker is held
    EXPECT_TRUE(status.wait->going);
    EXPECT_EQ(StripText(status).find("Test 1 of 2   Wait 5 s left"), 0u) << StripText(status);

    ReleaseHeldPost();
    ASSERT_TRUE(PumpUntilRunOver());
    status = session.Status().run;
    EXPECT_EQ(status.end, RunEnd::Completed);
    EXPECT_FALSE(status.wait);
    EXPECT_EQ(status.unitPower, kUnitPowerSwitchedOff);
    const auto& log = model.LogLines();
    const auto lastReading = std::find_if(log.rbegin(), log.rend(), [](const std::string& line) {
        return line.starts_with("Reading voltage");
    });
    ASSERT_NE(lastReading, log.rend());
    ASSERT_TRUE(status.reading);
    EXPECT_EQ(ReadingText(*status.reading), *lastReading);
}

TEST_F(RunControlTest, DeviceThatWillNotOpenLeavesAnEmptyLogAndNoRun) {
    RunOneTestFirst(CycleTest(0, 0));
    tap.Device().SetOpenError(LJE_LABJACK_NOT_FOUND);
    const StartOutcome outcome = session.Start();
    EXPECT_EQ(outcome.refusal, StartRefusal::DeviceFailed);
    EXPECT_EQ(outcome.deviceCode, LJE_LABJACK_NOT_FOUND);
    EXPECT_EQ(outcome.message,
              "Can't open LabJack for voltage measurement. Code 1007\n"
              "No LabJack U3 was found on USB: check its cable and that it has power.");
    EXPECT_EQ(messageBoxes, std::vector<std::string>{outcome.message});
    EXPECT_FALSE(session.Status().runGoing);
    EXPECT_EQ(runsBegun.count, 1);  // the earlier run's
    EXPECT_TRUE(StartsOpenSaveAndChecksEnabled());
    EXPECT_TRUE(model.LogLines().empty());
    EXPECT_EQ(model.TestRows()[0][kStatusColumn], "");
}

TEST_F(RunControlTest, OpenFailuresAddAHintForTheCommonCodes) {
    LoadPlan({CycleTest(0, 0)});
    struct Case {
        LJ_ERROR code;
        const char* hintWord;  // nullptr: no second line
    };
    for (const Case c : {Case{LJE_DEVICE_ALREADY_OPEN, "another program"},
                         Case{LJE_USB_DRIVER_NOT_FOUND, "udev rule"},
                         Case{LJE_COMM_FAILURE, nullptr}, Case{LJE_COMM_TIMEOUT, nullptr}}) {
        messageBoxes.clear();
        tap.Device().SetOpenError(c.code);
        test::PressStartStop(session);
        ASSERT_EQ(messageBoxes.size(), 1u);
        const std::string& text = messageBoxes.front();
        const std::string first =
            "Can't open LabJack for voltage measurement. Code " + std::to_string(c.code);
        EXPECT_EQ(text.substr(0, text.find('\n')), first);
        if (c.hintWord) {
            EXPECT_NE(text.find(c.hintWord, first.size()), std::string::npos) << text;
        } else {
            EXPECT_EQ(text, first);
        }
    }
}

TEST_F(RunControlTest, ControlsThatDoNotValidateStartNothingAndClearNothing) {
    RunOneTestFirst(CycleTest(0, 0));
    const std::vector<std::string> log = model.LogLines();
    fieldsValid = false;
    Attach();
    test::PressStartStop(session);
    EXPECT_FALSE(session.Status().runGoing);
    EXPECT_EQ(runsBegun.count, 1);  // the earlier run's
    EXPECT_EQ(model.LogLines(), log);
}

TEST_F(RunControlTest, StopDuringAWaitGivesTheControlsBackAtOnceAndKeepsTheCells) {
    LoadPlan({CycleTest(0, 10), CycleTest(1, 10)});
    const std::string wait = "Wait 15.00 secs for Wait before start";
    ASSERT_TRUE(StartAndPumpUntilHolding(
        [&](const PostedMessage& m) {
            const auto* progress = std::get_if<ProgressMessage>(&m);
            return progress && progress->text == wait;
        },
        [&] { return model.TestRows()[0][kWaitColumn] == wait; }));
    test::PressStartStop(session);  // Stop, while the worker is still in that wait
    ReleaseHeldPost();
    EXPECT_FALSE(session.Status().runGoing);
    EXPECT_TRUE(StartsOpenSaveAndChecksEnabled());
    const auto rowsAtStop = model.TestRows();
    ASSERT_TRUE(PumpUntilRunOver());
    EXPECT_TRUE(StartsOpenSaveAndChecksEnabled());  // the late RunDone changes nothing
    EXPECT_EQ(model.TestRows()[0][kWaitColumn], rowsAtStop[0][kWaitColumn]);
    EXPECT_EQ(session.Status().completedTests, 0u);  // the abandoned test has no summary line
}

TEST_F(RunControlTest, StartAfterAFinishedRunClearsTheLogAndTheRunCellsFirst) {
    LoadPlan({OnOffTest(0)});
    test::PressStartStop(session);
    ASSERT_TRUE(PumpUntilRunOver());
    ASSERT_EQ(session.Status().completedTests, 1u);
    ASSERT_FALSE(model.LogLines().empty());
    ASSERT_FALSE(model.TestRows()[0][kStatusColumn].empty());

    // One press disposes of the old worker and starts anew. The new worker is
    // held at its first post: in virtual time it could otherwise finish the
    // plan before what the press did is looked at.
    ASSERT_TRUE(
        StartAndPumpUntilHolding([](const PostedMessage&) { return true; }, [] { return true; }));
    EXPECT_TRUE(session.Status().runGoing);
    EXPECT_EQ(model.Controls().startStop, StartStop::Stop);
    EXPECT_FALSE(model.Controls().planAndOptionsEnabled);
    EXPECT_TRUE(model.LogLines().empty());
    EXPECT_EQ(model.TestRows()[0][kStatusColumn], "");
    EXPECT_EQ(model.TestRows()[0][kWaitColumn], "");
    ReleaseHeldPost();
    ASSERT_TRUE(PumpUntilRunOver());
    EXPECT_EQ(session.Status().completedTests,
              1u);  // the new run emptied the table before adding its own
    EXPECT_EQ(model.LogLines().front(), "Pass, 2.6,2.6");
}

// The worker's progress posts as RunControl takes them from the handler
// thread: nothing stands behind it here but the window's model.
TEST(RunControlProgress, KindsLandInTheirCellsAndOthersAreIgnored) {
    WindowModel model;
    model.ReplaceRows(std::vector<TestRowTexts>(3));
    RunState runState;
    RunControl control(model, StationIo{}, runState, nullptr, RunControlHooks{});
    control.OnProgress(ProgressMessage{ProgressWait, 2, "w"});
    control.OnProgress(ProgressMessage{ProgressStatus, 1, "s"});
    control.OnProgress(ProgressMessage{ProgressLog, 2, "l"});
    control.OnProgress(ProgressMessage{7, 0, "ignored"});
    control.OnProgress(ProgressMessage{ProgressStatus, 300, "no such row"});
    EXPECT_EQ(model.TestRows()[2][kWaitColumn], "w");
    EXPECT_EQ(model.TestRows()[1][kStatusColumn], "s");
    EXPECT_EQ(model.VisibleRow(), 1);
    EXPECT_EQ(model.LogLines(), std::vector<std::string>{"l"});
    EXPECT_EQ(model.SelectedLogLine(), 0);
    for (const auto& row : model.TestRows()) {
        for (const auto& cell : row)
            EXPECT_NE(cell, "ignored");
    }
}

TEST_F(RunControlTest, NoOptionChosenMeansCycleOneLevelOne) {
    LoadPlan({CycleTest(0, 99)});  // a P5 outside 0..15 keeps the operator's option
    SetField(&DialogValues::ttoOption, -1);
    test::PressStartStop(session);
    ASSERT_TRUE(PumpUntilRunOver());
    const auto& log = model.LogLines();
    EXPECT_NE(std::find(log.begin(), log.end(), "Time To OFF (to 1.50) seconds from level 1, 0.25"),
              log.end());
    ASSERT_EQ(session.Status().completedTests, 1u);
    ASSERT_EQ(summary.Lines().size(), 1u);
    EXPECT_NE(summary.Lines()[0].find(", 2.60, 0.00, 0.00, 0.00, 0.00, "), std::string::npos);
}

// ---- After the run: the unit's power and the status strip ----

// Whatever ends a run, the unit is switched off as its worker leaves the
// device, before the worker's last message, by one write that posts nothing;
// the end of the run writes nothing more.
class RunEndTest : public RunControlTest {
  protected:
    explicit RunEndTest(UnitProfile profile = {}) : RunControlTest(true, profile) {
        beforeHandling = [this](const PostedMessage& m) {
            if (std::holds_alternative<RunDoneMessage>(m)) {
                poweredAtDone = tap.Device().Unit().Powered();
                switchesAtDone = tap.Device().PowerSwitches();
                logAtDone = model.LogLines();
            }
        };
    }
    std::string StatusNow() { return StripText(session.Status().run); }
    bool StatusStartsWith(const std::string& start) { return StatusNow().rfind(start, 0) == 0; }

    static TestPlanEntry QuickOnOffTest(int index) {
        return TestPlanEntry{0, 100, 100, 2000, 5000, 1000, index};
    }

    bool poweredAtDone = false;
    std::int64_t switchesAtDone = -1;
    std::vector<std::string> logAtDone;
};

TEST_F(RunEndTest, ACompletedPlanEndingOnAnOnOffTestLeavesTheUnitOff) {
    LoadPlan({CycleTest(0, 0), OnOffTest(1)});
    // Held at its first post: in virtual time the worker could otherwise be in
    // the second test before the status is read.
    ASSERT_TRUE(
        StartAndPumpUntilHolding([](const PostedMessage&) { return true; }, [] { return true; }));
    EXPECT_TRUE(StatusStartsWith("Test 1 of 2   ")) << StatusNow();
    ReleaseHeldPost();
    ASSERT_TRUE(PumpUntilRunOver());
    EXPECT_FALSE(poweredAtDone);
    EXPECT_FALSE(tap.Device().Unit().Powered());
    EXPECT_EQ(tap.Device().PowerSwitches(), switchesAtDone);
    EXPECT_EQ(model.LogLines(), logAtDone);  // nothing reached the log
    EXPECT_FALSE(session.HandleNext(0ms));   // nothing is left to handle
    EXPECT_EQ(powerReports, std::vector<std::string>{kUnitPowerSwitchedOff});
    EXPECT_TRUE(StatusStartsWith("Run complete   Elapsed 0:0")) << StatusNow();
    EXPECT_NE(StatusNow().find(kUnitPowerSwitchedOff), std::string::npos);

    // Disposing of the finished worker, closing: no second write.
    session.CloseRun();
    EXPECT_EQ(tap.Device().PowerSwitches(), switchesAtDone);
    EXPECT_EQ(powerReports.size(), 1u);
}

TEST_F(RunEndTest, StopDuringAPoweredWaitSwitchesOffOnceAndSaysStopped) {
    LoadPlan({CycleTest(0, 10), CycleTest(1, 10)});
    ASSERT_TRUE(StartAndPumpUntilHolding(IsWait("Wait 1.50 secs for T1"), [&] {
        return model.TestRows()[0][kWaitColumn] == "Wait 1.50 secs for T1";
    }));
    EXPECT_TRUE(tap.Device().Unit().Powered());
    EXPECT_TRUE(StatusStartsWith("Test 1 of 2   Wait 2 s left   Elapsed 0:00:")) << StatusNow();
    test::PressStartStop(session);
    ReleaseHeldPost();
    EXPECT_FALSE(tap.Device().Unit().Powered());
    EXPECT_EQ(powerReports, std::vector<std::string>{kUnitPowerSwitchedOff});
    EXPECT_TRUE(StatusStartsWith("Run stopped   ")) << StatusNow();
    const auto switches = tap.Device().PowerSwitches();
    ASSERT_TRUE(PumpUntilRunOver());  // the stopped run's own end changes nothing
    EXPECT_EQ(tap.Device().PowerSwitches(), switches);
    EXPECT_EQ(powerReports.size(), 1u);
    EXPECT_TRUE(StatusStartsWith("Run stopped   "));
}

// A unit whose device accesses of one kind fail from the n-th on.
template <std::optional<std::int64_t> UnitProfile::*Fault, std::int64_t After>
class FaultyDeviceTest : public RunEndTest {
  protected:
    static UnitProfile Faulty() {
        UnitProfile profile;
        profile.*Fault = After;
        return profile;
    }
    FaultyDeviceTest() : RunEndTest(Faulty()) {}
};

using FailingReadsTest = FaultyDeviceTest<&UnitProfile::failReadAfter, 0>;
using FailingSwitchesTest = FaultyDeviceTest<&UnitProfile::failOutputAfter, 2>;

TEST_F(FailingReadsTest, AnAbandonedTestEndsTheRunWithTheUnitOff) {
    LoadPlan({QuickOnOffTest(0), QuickOnOffTest(1)});
    test::PressStartStop(session);
    ASSERT_TRUE(PumpUntilRunOver());
    EXPECT_FALSE(poweredAtDone);  // the read failed with the unit on; the worker cut it
    EXPECT_FALSE(tap.Device().Unit().Powered());
    EXPECT_EQ(session.Status().completedTests, 0u);
    EXPECT_EQ(powerReports, std::vector<std::string>{kUnitPowerSwitchedOff});
    EXPECT_TRUE(StatusStartsWith("Run abandoned   ")) << StatusNow();
}

TEST_F(FailingSwitchesTest, AFailedSwitchOffIsToldWithItsCodeAndTriedAgainAtClose) {
    LoadPlan({TestPlanEntry{0, 100, 100, 2000, 5000, 2000, 0}});
    test::PressStartStop(session);
    ASSERT_TRUE(PumpUntilRunOver());
    const std::string failed = "The unit may still be powered: switching it off failed. Code 1008";
    EXPECT_TRUE(tap.Device().Unit().Powered());
    EXPECT_EQ(powerReports, std::vector<std::string>{failed});
    EXPECT_EQ(StatusNow().substr(StatusNow().size() - failed.size()), failed);
    session.CloseRun();
    EXPECT_EQ(powerReports, (std::vector<std::string>{failed, failed}));
    EXPECT_EQ(model.LogLines(), logAtDone);
}

// In real time, on a settings file whose TaskTerminateWaitTime is that many
// milliseconds.
template <std::int32_t TerminateWaitMs>
class RealTimeTest : public RunControlTest {
  protected:
    RealTimeTest() : RunControlTest(false, {}, TerminateWaitMs) {}
};

using RunControlRealTimeTest = RealTimeTest<100>;
using QuickGiveUpTest = RealTimeTest<50>;

TEST_F(RunControlRealTimeTest, AWorkerThatOverrunsItsStopIsAbandonedAndStartWaitsForIt) {
    LoadPlan({OnOffTest(0)});
    hanging->Hang();
    test::PressStartStop(session);
    hanging->WaitUntilHanging();
    const auto before = std::chrono::steady_clock::now();
    test::PressStartStop(session);  // Stop: the worker is stuck in a device call
    EXPECT_LT(std::chrono::steady_clock::now() - before, 3s);
    EXPECT_TRUE(StartsOpenSaveAndChecksEnabled());
    EXPECT_TRUE(AbandonedWorkerGoing());
    session.HandlePending();

    test::PressStartStop(session);  // Start is refused while the old worker lives
    EXPECT_EQ(messageBoxes, std::vector<std::string>{kPreviousRunStillEnding});
    EXPECT_EQ(session.Start().refusal, StartRefusal::PreviousRunStillEnding);
    EXPECT_FALSE(session.Status().runGoing);
    EXPECT_TRUE(session.Status().threadsGoing);

    hanging->Release();
    while (session.Status().threadsGoing)
        std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(session.HandleNext(0ms));  // what it posted after the stop reached no window
    EXPECT_TRUE(session.Start().Started());
    EXPECT_TRUE(session.Status().runGoing);
    // Start on a run going neither stops it nor begins another.
    EXPECT_EQ(session.Start().refusal, StartRefusal::RunGoing);
    EXPECT_TRUE(session.Status().runGoing);
    EXPECT_TRUE(session.Stop());
}

TEST_F(QuickGiveUpTest, AWorkerThatOverranItsStopIsNotTrustedWithThePowerUntilItEnds) {
    LoadPlan({TestPlanEntry{0, 100, 100, 2000, 5000, 1000, 0}});
    hanging->Hang();
    test::PressStartStop(session);
    hanging->WaitUntilHanging();  // at the read, after switching on
    test::PressStartStop(session);
    ASSERT_TRUE(AbandonedWorkerGoing());
    EXPECT_TRUE(tap.Device().Unit().Powered());
    EXPECT_EQ(powerReports, std::vector<std::string>{kUnitPowerHeldByStoppedRun});
    EXPECT_EQ(StripText(session.Status().run).rfind("Run stopped   ", 0), 0u);

    hanging->Release();
    while (session.Status().threadsGoing)
        std::this_thread::sleep_for(1ms);
    session.CloseRun();
    EXPECT_FALSE(tap.Device().Unit().Powered());
    EXPECT_EQ(powerReports,
              (std::vector<std::string>{kUnitPowerHeldByStoppedRun, kUnitPowerSwitchedOff}));
}

// ---- Closing the window on a key or a button ----

class CloseConfirmationTest : public RunControlTest {
  protected:
    bool Confirm(std::deque<Answer> answers) {
        replies = std::move(answers);
        return session.MayClose(CloseConfirmationHooks{[this](const Question& question) {
                                                           asked.push_back(question);
                                                           const Answer reply = replies.front();
                                                           replies.pop_front();
                                                           return reply;
                                                       },
                                                       [this] { ++saves; }});
    }

    std::deque<Answer> replies;
    std::vector<Question> asked;
    int saves = 0;
};

TEST_F(CloseConfirmationTest, ARunInProgressStopsOnlyOnYesThenItsCompletedTestsAreOffered) {
    LoadPlan({OnOffTest(0), CycleTest(1, 10)});
    ASSERT_TRUE(StartAndPumpUntilHolding(IsWait("Wait 15.00 secs for Wait before start"), [&] {
        return model.TestRows()[1][kWaitColumn] == "Wait 15.00 secs for Wait before start";
    }));
    EXPECT_FALSE(Confirm({Answer::No}));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "A test run is in progress. Stop it and close?");
    EXPECT_EQ(asked[0].buttons, (std::vector<Answer>{Answer::Yes, Answer::No}));
    EXPECT_EQ(asked[0].defaultAnswer, Answer::No);
    EXPECT_EQ(asked[0].escapeAnswer, Answer::No);
    EXPECT_TRUE(session.Status().runGoing);

    EXPECT_FALSE(Confirm({Answer::Yes, Answer::Cancel}));
    ReleaseHeldPost();
    EXPECT_FALSE(session.Status().runGoing);
    EXPECT_TRUE(StartsOpenSaveAndChecksEnabled());
    EXPECT_FALSE(tap.Device().Unit().Powered());
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[2].buttons,
              (std::vector<Answer>{Answer::Save, Answer::Discard, Answer::Cancel}));
    EXPECT_EQ(asked[2].escapeAnswer, Answer::Cancel);
    EXPECT_EQ(session.Status().completedTests,
              1u);  // the completed first test is still there to save
    ASSERT_TRUE(PumpUntilRunOver());

    EXPECT_TRUE(Confirm({Answer::Discard}));
    EXPECT_EQ(saves, 0);
}

}  // namespace
}  // namespace orvalt
