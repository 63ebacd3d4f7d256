#include "execution/RunControl.h"

#include <algorithm>

#include "domain/Format.h"
#include "execution/LabJackOpenFailure.h"

namespace orvalt {

RunControl::RunControl(WindowModel& model, StationIo io, RunState& runState, WindowHandle window,
                       RunControlHooks hooks)
    : model_(model),
      io_(io),
      runState_(runState),
      window_(std::move(window)),
      hooks_(std::move(hooks)) {}

RunControl::~RunControl() {
    // Whoever showed our messages may be partly gone by now.
    hooks_ = {};
    unitPowerReport_ = nullptr;
    StopTestRun();
    abandoned_.clear();  // joins: their pointers into the station must not outlive it
}

bool RunControl::Running() const {
    return worker_ && !worker_->Ended();
}

bool RunControl::HasAbandonedWorker() {
    ReapAbandoned();
    return !abandoned_.empty();
}

void RunControl::ReapAbandoned() {
    std::erase_if(abandoned_, [](const auto& worker) { return worker->Ended(); });
}

void RunControl::ShowMessage(const std::string& text) {
    if (hooks_.messageBox) {
        hooks_.messageBox(text);
    }
}

void RunControl::GiveControlsBack() {
    model_.EnableStartStop(true);
    model_.SetStartStop(StartStop::Start);
    model_.EnablePlanAndOptions(true);
}

void RunControl::TakeControlsForRun() {
    model_.SetStartStop(StartStop::Stop);
    model_.EnablePlanAndOptions(false);
}

RunRecord RunControl::BuildRunRecord(LJ_HANDLE handle) const {
    RunRecord run;
    run.runFlag = &runState_.runFlag;
    run.window = MakeForwardingTarget(window_);
    run.extraLog = model_.values.extraLog;
    run.doOutput5 = model_.values.doOutput5;
    run.description = model_.values.description;
    // Cycle 1, level 1 unless the operator's option names another point.
    DecodeTtoOption(model_.values.ttoOption, run.ttoCycle, run.ttoLevel);
    run.deviceHandle = handle;
    run.testPlan = testPlan_;
    run.io = io_;
    if (io_.observers && io_.origin) {
        run.events = std::make_shared<RunEvents>(*io_.observers, *io_.clock, *io_.origin,
                                                 runNumber_, io_.outcomeOf);
    }
    run.progress = progress_;
    return run;
}

StartOutcome RunControl::Refuse(StartRefusal refusal, std::string message, LJ_ERROR code) {
    if (!message.empty()) {
        ShowMessage(message);
    }
    return StartOutcome{refusal, code, std::move(message)};
}

void RunControl::BeginRun(LJ_HANDLE handle) {
    runStarted_ = true;
    TakeControlsForRun();
    runState_.runFlag.Raise();
    runHandle_ = handle;
    runTests_ = static_cast<std::int32_t>(testPlan_->entries.size());
    powerOffDue_ = true;
    progress_ = std::make_shared<RunProgress>();
    status_.Started(runTests_, io_.clock->NowMs(), progress_);
    ++runNumber_;
    RunRecord run = BuildRunRecord(handle);
    runState_.extraLog = model_.values.extraLog;
    worker_ = std::make_unique<WorkerThread>(std::move(run), runNumber_);
}

// The worker has ended (or, overrunning its stop, been abandoned): nothing of
// the run may go on, and the unit is not left powered. A run ends once; the
// later disposal of its worker is no second end.
void RunControl::EndRun(RunEnd end) {
    if (status_.HasEnded()) {
        return;
    }
    runState_.runFlag.Lower();
    status_.Ended(end, io_.clock->NowMs());
    SwitchUnitOffIfDue();
}

RunEnd RunControl::EndOfFinishedRun() const {
    const bool everyTest = progress_ && progress_->Read().completed == runTests_;
    return everyTest ? RunEnd::Completed : RunEnd::Abandoned;
}

// The worker switches the unit off as it leaves the device; this write is for
// a worker whose own write failed. The station's own write, outside every
// test: it posts nothing, so the log and the result files stay as the run left
// them, and the marker line keeps its rhythm across runs.
void RunControl::SwitchUnitOffIfDue() {
    if (!powerOffDue_ || Running()) {
        return;
    }
    if (HasAbandonedWorker()) {
        ReportPower(kUnitPowerHeldByStoppedRun);
        return;
    }
    if (progress_ && progress_->Read().leftUnitOff) {
        powerOffDue_ = false;
        ReportPower(kUnitPowerSwitchedOff);
        return;
    }
    const LJ_ERROR error = io_.daq->SwitchPower(runHandle_, 0);
    powerOffDue_ = error != LJE_NOERROR;
    ReportPower(
        powerOffDue_
            ? Format("The unit may still be powered: switching it off failed. Code %d", error)
            : std::string(kUnitPowerSwitchedOff));
}

void RunControl::ReportPower(std::string text) {
    status_.SetPowerNote(text);
    if (unitPowerReport_) {
        unitPowerReport_(text);
    }
}

void RunControl::CloseRun() {
    const bool running = Running();  // then the stop's own end switches off
    if (runStarted_) {
        runStarted_ = false;
        StopTestRun();
    }
    if (!running) {
        SwitchUnitOffIfDue();
    }
}

std::chrono::milliseconds RunControl::TerminateWait() const {
    return std::chrono::milliseconds(std::max(0, io_.settings->TaskTerminateWaitTime));
}

bool RunControl::StopRun() {
    bool stopped = false;
    if (worker_) {
        model_.EnableStartStop(false);
        stopped = StopTestRun();
    }
    GiveControlsBack();
    return stopped;
}

void RunControl::OnStartStop() {
    if (StartStopPress() == StartStop::Stop) {
        StopRun();
        return;
    }
    static_cast<void>(Start());
}

StartOutcome RunControl::Start() {
    if (Running()) {
        return Refuse(StartRefusal::RunGoing);
    }
    StopRun();  // the last run's ended worker goes, and the controls come back
    return StartWithoutWorker();
}

// No worker of ours is running: a stopped one that overran its stop may be.
StartOutcome RunControl::StartWithoutWorker() {
    if (HasAbandonedWorker()) {
        return Refuse(StartRefusal::PreviousRunStillEnding, kPreviousRunStillEnding);
    }
    if (!testPlan_ || testPlan_->entries.empty()) {
        return Refuse(StartRefusal::PlanEmpty, kPlanHoldsNoTests);
    }
    if (hooks_.exchange && !hooks_.exchange()) {
        return Refuse(StartRefusal::FieldsInvalid);
    }
    model_.ClearLog();
    model_.ClearRunCells();
    LJ_HANDLE handle = 0;
    const std::string& serial = io_.settings->U3SerialNumber;
    const LJ_ERROR error = io_.daq->Open(serial, &handle);
    if (error != LJE_NOERROR) {
        return Refuse(StartRefusal::DeviceFailed, LabJackOpenFailureText(error, serial), error);
    }
    if (hooks_.opened) {
        hooks_.opened(handle);
    }
    BeginRun(handle);
    return StartOutcome{};
}

bool RunControl::StopTestRun() {
    if (!worker_) {
        return false;
    }
    bool stopped = false;
    if (!worker_->Ended()) {
        runState_.runFlag.Lower();
        if (!worker_->WaitForEnd(TerminateWait())) {
            // It cannot be killed safely; cut it off from the window and let it
            // end on its own. Start stays refused until it has.
            worker_->CutOff();
            abandoned_.push_back(std::move(worker_));
            EndRun(RunEnd::Stopped);
            return true;
        }
        stopped = true;
    }
    worker_.reset();
    EndRun(stopped ? RunEnd::Stopped : EndOfFinishedRun());
    return stopped;
}

void RunControl::ApplyCell(const ProgressMessage& message, int column) {
    model_.MakeRowVisible(message.row);
    model_.SetCell(message.row, column, message.text);
}

void RunControl::OnRunDone(const RunDoneMessage& message) {
    // The end of an earlier, stopped run changes nothing.
    if (message.runNumber != runNumber_) {
        return;
    }
    model_.SetStartStop(StartStop::Start);
    model_.EnablePlanAndOptions(true);
    // ProgressDone is the worker's last act: its end follows at once.
    if (worker_ && worker_->WaitForEnd(TerminateWait())) {
        EndRun(EndOfFinishedRun());
    }
}

void RunControl::OnProgress(const ProgressMessage& message) {
    switch (message.kind) {
        case ProgressWait:
            ApplyCell(message, kWaitColumn);
            break;
        case ProgressStatus:
            ApplyCell(message, kStatusColumn);
            break;
        case ProgressLog:
            model_.AppendLog(message.text);
            break;
        default:
            break;
    }
}

}  // namespace orvalt
