#pragma once
// Start, Stop and progress: the window's side of a test run, toolkit-free. The
// Qt window and the headless runner both drive a run through this class and show
// its WindowModel.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "execution/TestRunWorker.h"
#include "execution/WindowModel.h"

namespace orvalt {

struct RunControlHooks {
    // Reads the dialog's fields into WindowModel::values; false when a field does
    // not validate (the view has then shown its prompt).
    std::function<bool()> exchange;
    // Shows a message box with an OK button only.
    std::function<void(const std::string&)> messageBox;
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

    void OnStartStop();
    // True if a still running worker was stopped (or, overrunning its stop,
    // abandoned); false otherwise.
    bool StopTestRun();
    void OnProgress(const ProgressMessage& message);
    void OnRunDone(const RunDoneMessage& message);

    bool RunStarted() const { return runStarted_; }
    void ClearRunStarted() { runStarted_ = false; }
    bool Running() const;
    // A stopped worker that overran its stop and has not ended yet.
    bool HasAbandonedWorker();

  private:
    void ShowMessage(const std::string& text);
    void GiveControlsBack();
    void TakeControlsForRun();
    RunRecord BuildRunRecord(LJ_HANDLE handle) const;
    void ApplyCell(const ProgressMessage& message, int column);
    void ReapAbandoned();

    WindowModel& model_;
    StationIo io_;
    RunState& runState_;
    WindowHandle window_;
    RunControlHooks hooks_;
    const TestPlan* testPlan_ = nullptr;
    std::unique_ptr<WorkerThread> worker_;
    std::vector<std::unique_ptr<WorkerThread>> abandoned_;
    bool runStarted_ = false;
    int runNumber_ = 0;
};

// What the operator is told when Start meets a stopped run that has not ended.
inline constexpr const char* kPreviousRunStillEnding =
    "The stopped run has not ended yet (the device does not answer). Start is possible again "
    "once it has ended.";

}  // namespace orvalt
