#include "execution/Primitives.h"

#include "domain/Format.h"
#include "execution/RunStatus.h"

namespace orvalt {

namespace {

// While "Do Output 5" is on, line 5 changes level at every device access, so a
// scope on it shows each access. The level carries on across runs.
void ToggleMarker(const RunRecord& run, LJ_HANDLE handle) {
    if (!run.doOutput5) {
        return;
    }
    std::int32_t& level = *run.io.markerLevel;
    run.io.daq->SetMarker(handle, level);
    if (run.events) {
        run.events->MarkerToggled(level);
    }
    level = level ? 0 : 1;
}

// The Status cell first, then (with Extra Log) the log copy, so the log never
// shows a reading before the row does.
void ReportSuccess(const RunRecord& run, int row, std::string text) {
    PostProgress(run, ProgressStatus, row, text);
    if (run.extraLog) {
        PostProgress(run, ProgressLog, row, std::move(text));
    }
}

void TellReading(const RunRecord& run, std::optional<double> volts, const std::string& status) {
    if (run.events) {
        run.events->VoltageRead(volts, status);
    }
}

void TellSwitch(const RunRecord& run, std::int32_t state, bool ok) {
    if (run.events) {
        run.events->PowerSwitched(state, ok);
    }
}

}  // namespace

ShownWait::ShownWait(const RunRecord& run, std::int32_t ms, std::string text)
    : progress_(run.progress.get()) {
    if (progress_) {
        progress_->BeginWait(std::move(text), run.io.clock->NowMs(), ms);
    }
}

ShownWait::~ShownWait() {
    if (progress_) {
        progress_->EndWait();
    }
}

void TimedWait(const RunRecord& run, int row, std::int32_t ms, std::string_view label) {
    if (label.empty()) {
        run.io.clock->SleepWhileUp(ms, *run.runFlag);
        return;
    }
    const std::string text =
        Format("Wait %.2f secs for %s", ms / 1000.0, std::string(label).c_str());
    // Shown before it is announced, so that whoever sees the announcement
    // finds the wait in the run's status too.
    const ShownWait shown(run, ms, text);
    PostProgress(run, ProgressWait, row, text);
    run.io.clock->SleepWhileUp(ms, *run.runFlag);
}

void ClearWaitCell(const RunRecord& run, int row) {
    if (run.progress) {
        run.progress->ForgetWait();
    }
    PostProgress(run, ProgressWait, row, "");
}

std::optional<double> ReadVoltage(const RunRecord& run, LJ_HANDLE handle, int row, int index) {
    ToggleMarker(run, handle);
    double volts = 0.0;
    const LJ_ERROR error = run.io.daq->ReadLightLevel(handle, &volts);
    if (error != LJE_NOERROR) {
        std::string failure = Format("LabJack voltage read failed. Code %d", error);
        TellReading(run, std::nullopt, failure);
        PostProgress(run, ProgressStatus, row, std::move(failure));
        return std::nullopt;
    }
    const LightReading reading{volts, index};
    if (run.progress) {
        run.progress->TookReading(reading);
    }
    std::string status = ReadingText(reading);
    TellReading(run, volts, status);
    ReportSuccess(run, row, std::move(status));
    return volts;
}

bool SetPowerOutput(const RunRecord& run, LJ_HANDLE handle, int row, std::int32_t state) {
    ToggleMarker(run, handle);
    const LJ_ERROR error = run.io.daq->SwitchPower(handle, state);
    run.powerState = error == LJE_NOERROR ? std::optional(state) : std::nullopt;
    TellSwitch(run, state, error == LJE_NOERROR);
    if (error != LJE_NOERROR) {
        PostProgress(run, ProgressStatus, row,
                     Format("LabJack control output failed. Code %d", error));
        return false;
    }
    ReportSuccess(run, row, Format("Setting output %s", state == 0 ? "OFF" : "ON"));
    return true;
}

bool LeaveUnitOff(const RunRecord& run, LJ_HANDLE handle) {
    if (run.powerState != 0) {
        if (run.io.daq->SwitchPower(handle, 0) != LJE_NOERROR) {
            return false;
        }
        if (run.powerState) {
            TellSwitch(run, 0, true);
        }
        run.powerState = 0;
    }
    if (run.progress) {
        run.progress->LeftUnitOff();
    }
    return true;
}

}  // namespace orvalt
