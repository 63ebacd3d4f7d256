#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "station/StationSession.h"

namespace orvalt {
namespace {

using namespace std::chrono_literals;

// A device whose reads can be made to hang, as a U3 that stops answering does.
class HangingDaq final : public Daq {
  public:
    explicit HangingDaq(Daq& inner) : inner_(inner) {}
    LJ_ERROR OpenLabJack(std::int32_t t, std::int32_t c, const char* a, std::int32_t f,
                         LJ_HANDLE* h) override {
        return inner_.OpenLabJack(t, c, a, f, h);
    }
    LJ_ERROR eGet(LJ_HANDLE h, std::int32_t io, std::int32_t ch, double* v,
                  std::int32_t x) override {
        std::unique_lock lock(mutex_);
        hanging_ = hang_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !hang_; });
        hanging_ = false;
        lock.unlock();
        return inner_.eGet(h, io, ch, v, x);
    }
    LJ_ERROR eDO(LJ_HANDLE h, std::int32_t ch, std::int32_t s) override {
        return inner_.eDO(h, ch, s);
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

// The window side of a run on a simulated station session: the test's thread
// is the handler thread and handles every post.
class RunControlTest : public ::testing::Test {
  protected:
    explicit RunControlTest(bool virtualTime = true)
        : session(SessionOptions{StationOptions{true, virtualTime, {}, HangingWrapper()}, {}}),
          settings(session.Settings()),
          model(session.Model()),
          summary(session.Summary()),
          device(*session.GetStation().SimulatedDevice()),
          control(session.Runs()) {
        session.SetRunHooks(RunControlHooks{
            [] { return true; }, [this](const std::string& t) { messageBoxes.push_back(t); }});
        session.SetPostedHook([this](const PostedMessage& m) { HoldPoster(m); });
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

    // Handles posts until `done` holds or the time runs out.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::seconds limit = 20s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            session.HandleNext(5ms);
        }
        return true;
    }

    // As PumpUntil, but the worker is kept where it posted the message
    // `holdAt` picks until ReleaseHeldPost or a stop: what the test does next
    // meets the run exactly there.
    bool PumpUntilHolding(const std::function<bool(const PostedMessage&)>& holdAt,
                          const std::function<bool()>& done) {
        {
            std::scoped_lock lock(holdMutex_);
            holdAt_ = holdAt;
            released_ = false;
        }
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

    bool PumpUntilRunOver() {
        return PumpUntil([this] { return !control.Running() && session.Pending() == 0; });
    }

    bool StartsOpenSaveAndChecksEnabled() const {
        for (ControlId id :
             {IDC_START_STOP, IDC_SAVE_TEST_DATA, IDC_EXTRA_LOG, IDC_DO_OUTPUT5, IDC_OPEN}) {
            if (!model.Control(id).enabled)
                return false;
        }
        return model.Control(IDC_START_STOP).caption == "Start";
    }

    static TestPlanEntry CycleTest(int index, int p5) {
        return TestPlanEntry{1500, 2000, 250, 3000, p5, 0, index};
    }
    static TestPlanEntry OnOffTest(int index) {
        return TestPlanEntry{0, 5000, 5000, 2000, 5000, 2000, index};
    }

    HangingDaq* hanging = nullptr;
    StationSession session;
    SettingsRecord& settings;
    WindowModel& model;
    SummaryLines& summary;
    SimulatedU3& device;
    RunControl& control;
    std::vector<std::string> messageBoxes;

  private:
    // On the worker's thread: it waits here, as in a sleep of virtual time,
    // until released or stopped.
    void HoldPoster(const PostedMessage& message) {
        std::unique_lock lock(holdMutex_);
        if (!holdAt_ || !holdAt_(message))
            return;
        const auto limit = std::chrono::steady_clock::now() + 10s;
        while (!released_ && session.GetRunState().runFlag != 0 &&
               std::chrono::steady_clock::now() < limit) {
            holdChanged_.wait_for(lock, 1ms);
        }
    }

    std::mutex holdMutex_;
    std::condition_variable holdChanged_;
    std::function<bool(const PostedMessage&)> holdAt_;
    bool released_ = false;
};

TEST_F(RunControlTest, EmptyPlanRunsToDoneAtOnceWithoutSummaryLines) {
    LoadPlan({});
    summary.Append("left from an earlier run");
    control.OnStartStop();
    EXPECT_EQ(model.Control(IDC_START_STOP).caption, "Stop");
    EXPECT_FALSE(model.Control(IDC_OPEN).enabled);
    ASSERT_TRUE(PumpUntilRunOver());
    EXPECT_TRUE(StartsOpenSaveAndChecksEnabled());
    EXPECT_EQ(summary.Count(), 0u);
    EXPECT_TRUE(model.LogLines().empty());
}

TEST_F(RunControlTest, DeviceThatWillNotOpenLeavesAnEmptyLogAndNoRun) {
    LoadPlan({CycleTest(0, 0)});
    model.AppendLog("a line of the previous run");
    model.SetCell(0, kStatusColumn, "old status");
    device.SetOpenError(LJE_LABJACK_NOT_FOUND);
    control.OnStartStop();
    EXPECT_EQ(messageBoxes,
              std::vector<std::string>{"Can't open LabJack for voltage measurement. Code 1007"});
    EXPECT_FALSE(control.Running());
    EXPECT_FALSE(control.RunStarted());
    EXPECT_TRUE(StartsOpenSaveAndChecksEnabled());
    EXPECT_TRUE(model.LogLines().empty());
    EXPECT_EQ(model.TestRows()[0][kStatusColumn], "");
}

TEST_F(RunControlTest, ControlsThatDoNotValidateStartNothingAndClearNothing) {
    LoadPlan({CycleTest(0, 0)});
    model.AppendLog("kept");
    session.SetRunHooks(RunControlHooks{[] { return false; }, [](const std::string&) {}});
    control.OnStartStop();
    EXPECT_FALSE(control.Running());
    EXPECT_EQ(model.LogLines(), std::vector<std::string>{"kept"});
}

TEST_F(RunControlTest, StopDuringAWaitGivesTheControlsBackAtOnceAndKeepsTheCells) {
    LoadPlan({CycleTest(0, 10), CycleTest(1, 10)});
    control.OnStartStop();
    const std::string wait = "Wait 15.00 secs for Wait before start";
    ASSERT_TRUE(PumpUntilHolding(
        [&](const PostedMessage& m) {
            const auto* progress = std::get_if<ProgressMessage>(&m);
            return progress && progress->text == wait;
        },
        [&] { return model.TestRows()[0][kWaitColumn] == wait; }));
    control.OnStartStop();  // Stop, while the worker is still in that wait
    ReleaseHeldPost();
    EXPECT_FALSE(control.Running());
    EXPECT_TRUE(StartsOpenSaveAndChecksEnabled());
    const auto rowsAtStop = model.TestRows();
    ASSERT_TRUE(PumpUntilRunOver());
    EXPECT_TRUE(StartsOpenSaveAndChecksEnabled());  // the late RunDone changes nothing
    EXPECT_EQ(model.TestRows()[0][kWaitColumn], rowsAtStop[0][kWaitColumn]);
    EXPECT_EQ(summary.Count(), 0u);  // the abandoned test has no summary line
}

TEST_F(RunControlTest, StartAfterAFinishedRunClearsTheLogAndTheRunCellsFirst) {
    LoadPlan({OnOffTest(0)});
    control.OnStartStop();
    ASSERT_TRUE(PumpUntilRunOver());
    ASSERT_EQ(summary.Count(), 1u);
    ASSERT_FALSE(model.LogLines().empty());
    ASSERT_FALSE(model.TestRows()[0][kStatusColumn].empty());

    control.OnStartStop();  // one press: disposes of the old worker, starts anew
    EXPECT_TRUE(control.Running());
    EXPECT_EQ(model.Control(IDC_START_STOP).caption, "Stop");
    EXPECT_TRUE(model.LogLines().empty());
    EXPECT_EQ(model.TestRows()[0][kStatusColumn], "");
    EXPECT_EQ(model.TestRows()[0][kWaitColumn], "");
    ASSERT_TRUE(PumpUntilRunOver());
    EXPECT_EQ(summary.Count(), 1u);  // the new run emptied the table before adding its own
    EXPECT_EQ(model.LogLines().front(), "Pass, 2.6,2.6");
}

TEST_F(RunControlTest, ProgressKindsLandInTheirCellsAndOthersAreIgnored) {
    LoadPlan({OnOffTest(0), OnOffTest(1), OnOffTest(2)});
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
    model.values.ttoOption = -1;
    control.OnStartStop();
    ASSERT_TRUE(PumpUntilRunOver());
    const auto& log = model.LogLines();
    EXPECT_NE(std::find(log.begin(), log.end(), "Time To OFF (to 1.50) seconds from level 1, 0.25"),
              log.end());
    ASSERT_EQ(summary.Count(), 1u);
    EXPECT_NE(summary.Lines()[0].find(", 2.60, 0.00, 0.00, 0.00, 0.00, "), std::string::npos);
}

class RunControlRealTimeTest : public RunControlTest {
  protected:
    RunControlRealTimeTest() : RunControlTest(false) {}
};

TEST_F(RunControlRealTimeTest, AWorkerThatOverrunsItsStopIsAbandonedAndStartWaitsForIt) {
    settings.TaskTerminateWaitTime = 100;
    LoadPlan({OnOffTest(0)});
    hanging->Hang();
    control.OnStartStop();
    hanging->WaitUntilHanging();
    const auto before = std::chrono::steady_clock::now();
    control.OnStartStop();  // Stop: the worker is stuck in a device call
    EXPECT_LT(std::chrono::steady_clock::now() - before, 3s);
    EXPECT_TRUE(StartsOpenSaveAndChecksEnabled());
    EXPECT_TRUE(control.HasAbandonedWorker());
    session.HandlePending();

    control.OnStartStop();  // Start is refused while the old worker lives
    EXPECT_EQ(messageBoxes, std::vector<std::string>{kPreviousRunStillEnding});
    EXPECT_FALSE(control.Running());

    hanging->Release();
    while (control.HasAbandonedWorker())
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(session.Pending(), 0u);  // what it posted after the stop reached no window
    control.OnStartStop();
    EXPECT_TRUE(control.Running());
    control.OnStartStop();
}

}  // namespace
}  // namespace orvalt
