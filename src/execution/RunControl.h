#pragma once
// Start, Stop and progress: the window's side of a test run, toolkit-free. The
// Qt window and the headless runner both drive a run through this class and show
// its WindowModel.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "execution/RunStatus.h"
#include "execution/TestRunWorker.h"
#include "execution/WindowModel.h"

namespace orvalt {

// Why Start did not begin a run.
enum class StartRefusal {
    RunGoing,                // a run is going: Stop first
    PreviousRunStillEnding,  // a stopped run overran its stop and still holds the device
    PlanEmpty,
    FieldsInvalid,  // a field did not validate; the view has shown its prompt
    DeviceFailed,   // the LabJack did not open
};

struct StartOutcome {
    std::optional<StartRefusal> refusal;  // none: the run began
    LJ_ERROR deviceCode = LJE_NOERROR;    // the driver's code, with DeviceFailed
    // What the operator is told (the message box's text, with the device's
    // hint); empty when the view has said it already or nothing needs saying.
    std::string message;

    bool Started() const { return !refusal; }
};

struct RunControlHooks {
    // Reads the dialog's fields into WindowModel::values; false when a field does
    // not validate (the view has then shown its prompt).
    std::function<bool()> exchange;
    // Shows a message box with an OK button only.
    std::function<void(const std::string&)> messageBox;
    // The device is open for the run and its worker not yet started: the last
    // moment on the handler thread to take what the run must not change.
    std::function<void(LJ_HANDLE)> opened{};
};

class RunControl {
  public:
    RunControl(WindowModel& model, StationIo io, RunState& runState, WindowHandle window,
               RunControlHooks hooks);
    // Stops a running worker and waits for every thread this class started.
    ~RunControl();
    RunControl(const RunControl&) = delete;
    RunControl& operator=(const RunControl&) = delete;

    // The plan the next Start runs; the window keeps it alive and unchanged
    // while a worker may read it.
    void SetTestPlan(const TestPlan* plan) { testPlan_ = plan; }
    // The view's exchange and message box; set before the first Start.
    void SetHooks(RunControlHooks hooks) { hooks_ = std::move(hooks); }

    // Begins a run of the plan in use, or says why not (and shows it in the
    // message box too).
    StartOutcome Start();
    // What a press of Start/Stop does now: what the button says, and Stop
    // while a worker runs. A Stop pressed just as the run ended on its own,
    // before the end was handled, only stops: it never starts the next run.
    StartStop StartStopPress() const {
        return Running() ? StartStop::Stop : model_.Controls().startStop;
    }
    // The Start/Stop button pressed.
    void OnStartStop();
    // The press of Stop alone, which never starts a run: stops a running
    // worker and gives the controls back. True if a worker was stopped.
    bool StopRun();
    // True if a still running worker was stopped (or, overrunning its stop,
    // abandoned); false otherwise.
    bool StopTestRun();
    void OnProgress(const ProgressMessage& message);
    void OnRunDone(const RunDoneMessage& message);

    bool RunStarted() const { return runStarted_; }
    bool Running() const;
    // A stopped worker that overran its stop and has not ended yet.
    bool HasAbandonedWorker();
    // The window's close: stops a run still going and leaves the unit switched
    // off, or says why it may still be powered.
    void CloseRun();
    // Switches the unit off once the run's worker has ended, if no write has
    // done so since the run began; a worker that overran its stop keeps the
    // device, and the unit is then reported as possibly still powered.
    void SwitchUnitOffIfDue();

    const RunStatus& Status() const { return status_; }
    // Told what became of the unit's power after a run ("Unit power switched
    // off", or why it may still be powered); the status keeps it as well.
    void SetUnitPowerReport(std::function<void(const std::string&)> report) {
        unitPowerReport_ = std::move(report);
    }

  private:
    void ShowMessage(const std::string& text);
    void GiveControlsBack();
    void TakeControlsForRun();
    RunRecord BuildRunRecord(LJ_HANDLE handle) const;
    void ApplyCell(const ProgressMessage& message, int column);
    void ReapAbandoned();
    StartOutcome Refuse(StartRefusal refusal, std::string message = {},
                        LJ_ERROR code = LJE_NOERROR);
    StartOutcome StartWithoutWorker();
    void BeginRun(LJ_HANDLE handle);
    void EndRun(RunEnd end);
    RunEnd EndOfFinishedRun() const;
    void ReportPower(std::string text);
    std::chrono::milliseconds TerminateWait() const;

    WindowModel& model_;
    StationIo io_;
    RunState& runState_;
    WindowHandle window_;
    RunControlHooks hooks_;
    std::function<void(const std::string&)> unitPowerReport_;
    const TestPlan* testPlan_ = nullptr;
    std::unique_ptr<WorkerThread> worker_;
    std::vector<std::unique_ptr<WorkerThread>> abandoned_;
    bool runStarted_ = false;
    int runNumber_ = 0;
    // The latest run: its device handle, its test count and where it stands.
    LJ_HANDLE runHandle_ = 0;
    std::int32_t runTests_ = 0;
    std::shared_ptr<RunProgress> progress_;
    bool powerOffDue_ = false;
    RunStatus status_;
};

// What Start says about a plan without a single test line.
inline constexpr const char* kPlanHoldsNoTests = "The plan holds no tests.";
inline constexpr const char* kUnitPowerSwitchedOff = "Unit power switched off";
inline constexpr const char* kUnitPowerHeldByStoppedRun =
    "The unit may still be powered: the stopped run has not ended and still holds the device";

// What the operator is told when Start meets a stopped run that has not ended.
inline constexpr const char* kPreviousRunStillEnding =
    "The stopped run has not ended yet (the device does not answer). Start is possible again "
    "once it has ended.";

}  // namespace orvalt
