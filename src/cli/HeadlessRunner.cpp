#include "cli/HeadlessRunner.h"

#include <chrono>
#include <ostream>

#include "config/SettingsTable.h"
#include "config/TestPlanFile.h"
#include "diaglink/CDiagCommPort.h"
#include "diaglink/DiagLinkControl.h"
#include "diaglink/DiagPorts.h"
#include "diaglink/DiagView.h"
#include "execution/RunControl.h"
#include "domain/MessageQueue.h"
#include "config/RegistryStore.h"
#include "results/TestDataExport.h"
#include "sim/UnitProfileJson.h"
#include "station/Station.h"

namespace orvalt {

namespace {

using namespace std::chrono_literals;

void ApplyCommandLine(const CliOptions& o, const SettingsRecord& s, DialogValues& values) {
    values.extraLog = o.extraLog ? 1 : 0;
    values.doOutput5 = o.doOutput5 ? 1 : 0;
    values.ttoOption = o.ttoOption.value_or(s.TTOTestOption);
    values.baudRate = s.BaudRate;
    UnitDescription& d = values.description;
    d.manufacturer = o.manufacturer.value_or(s.Manufacturer);
    d.model = o.model.value_or(s.Model);
    d.type = o.type.value_or(s.Type);
    d.power = o.power.value_or(s.Power);
    d.fixtureSize = o.size.value_or(s.FixtureSize);
    d.driverManufacturer = o.driverManufacturer.value_or(s.DriverManufacturer);
    d.driverModel = o.driverModel.value_or(s.DriverModel);
}

// One run of the plan, with everything it needs alive for its whole length.
class HeadlessSession {
  public:
    HeadlessSession(const CliOptions& options, std::ostream& out, std::ostream& err,
                    const std::atomic<bool>& stopRequest)
        : options_(options), out_(out), err_(err), stopRequest_(stopRequest) {}

    int Run();
    HeadlessStats Stats() const;

  private:
    bool LoadInputs();
    bool OpenDiagnostics();
    void CloseDiagnostics();
    void HandleUntilRunEnds();
    void Handle(const PostedMessage& message);
    void HandleProgress(const PostedMessage& message);
    void Drain();
    int Save();
    int RunStatus() const;

    const CliOptions& options_;
    std::ostream& out_;
    std::ostream& err_;
    const std::atomic<bool>& stopRequest_;

    SettingsRecord settings_;
    UnitProfile profile_;
    PlanLoadResult plan_;
    std::unique_ptr<Station> station_;
    MessageQueue queue_;
    WindowHandle window_ = queue_.MakeTarget();
    WindowModel model_;
    DiagView diagView_;
    CDiagCommPort link_;
    std::unique_ptr<RunControl> control_;
    std::string messageBoxText_;
    bool runEnded_ = false;
    std::size_t completedTests_ = 0;
    bool stopped_ = false;
    std::size_t diagLines_ = 0;
};

bool HeadlessSession::LoadInputs() {
    RegistryStore store(DefaultRegistryPath());
    if (RegStatus status = LoadStationSettings(settings_, store, options_.fixture); !status.Ok()) {
        err_ << status.message << " The default settings are used.\n";
    }
    if (!options_.unitProfilePath.empty()) {
        UnitProfileResult unit = LoadUnitProfile(options_.unitProfilePath);
        if (!unit.profile) {
            err_ << unit.error << '\n';
            return false;
        }
        profile_ = *unit.profile;
    }
    plan_ = LoadTestPlanFile(options_.planPath);
    if (!plan_.ok) {
        err_ << plan_.error << '\n';
        return false;
    }
    return true;
}

bool HeadlessSession::OpenDiagnostics() {
    if (!options_.diagPort.empty()) {
        const auto port = ResolvePortArgument(options_.diagPort, ListDiagPorts());
        if (!port || !link_.OpenLink(window_, port->path, settings_.BaudRate)) {
            err_ << kCommPortOpenFailedText << '\n';
            if (!link_.LastOpenError().empty()) {
                err_ << link_.LastOpenError() << '\n';
            }
            return false;
        }
    } else if (station_->Simulated() && !options_.noDiag) {
        station_->PostSimulatedDiagLines(window_);
    }
    return true;
}

void HeadlessSession::CloseDiagnostics() {
    link_.ClearNotificationWindow();
    link_.CloseLink();
    station_->StopSimulatedDiagLines();
}

void HeadlessSession::HandleProgress(const PostedMessage& message) {
    control_->OnProgress(message);
    if (message.kind == ProgressLog) {
        out_ << message.payload << '\n';
    } else if (options_.trace && message.kind == ProgressWait) {
        out_ << "wait[" << message.row << "]: " << message.payload << '\n';
    } else if (options_.trace && message.kind == ProgressStatus) {
        out_ << "status[" << message.row << "]: " << message.payload << '\n';
    } else if (message.kind == ProgressDone) {
        runEnded_ = true;
    }
}

void HeadlessSession::Handle(const PostedMessage& message) {
    if (message.id == WM_TEST_PROGRESS) {
        HandleProgress(message);
    } else if (message.id == WM_DIAG_LINE) {
        ++diagLines_;
        DiagLineSinks sinks{station_->diagTable, station_->GetClock(), station_->runState, {}};
        OnDiagLine(diagView_, message.payload, sinks);
    } else if (message.id == WM_DIAG_ERROR) {
        err_ << message.payload << '\n';
    }
}

// The worker posts ProgressDone as its last act, but a stop between two tests
// ends it without one: then the run is over once the worker has gone.
void HeadlessSession::HandleUntilRunEnds() {
    while (!runEnded_) {
        if (stopRequest_ && !stopped_) {
            stopped_ = true;
            control_->OnStartStop();
        }
        if (auto message = queue_.WaitPop(20ms)) {
            Handle(*message);
            queue_.DoneHandling();
        } else if (!control_->Running() && !control_->HasAbandonedWorker()) {
            runEnded_ = true;
        }
    }
}

void HeadlessSession::Drain() {
    while (auto message = queue_.TryPop()) {
        Handle(*message);
        queue_.DoneHandling();
    }
}

int HeadlessSession::RunStatus() const {
    const bool everyTestCompleted = completedTests_ == plan_.plan.entries.size();
    return !stopped_ && everyTestCompleted ? kExitRanToEnd : kExitAbandonedOrStopped;
}

int HeadlessSession::Save() {
    const SaveResult result = SaveTestData(options_.savePath, model_.values.description,
                                           model_.LogLines(), station_->summaryLines);
    for (const std::string& error : result.errors) {
        err_ << error << '\n';
    }
    return result.Ok() ? kExitRanToEnd : kExitNotSaved;
}

HeadlessStats HeadlessSession::Stats() const {
    HeadlessStats stats;
    if (station_) {
        stats.virtualMs = station_->Virtual() ? station_->Virtual()->ElapsedMs() : 0;
        stats.summaryLines = completedTests_;
        stats.diagLines = diagLines_;
    }
    return stats;
}

int HeadlessSession::Run() {
    if (!LoadInputs()) {
        return kExitUsage;
    }
    station_ = std::make_unique<Station>(
        StationOptions{options_.simulate, options_.fast, profile_, options_.fixture}, settings_);
    if (VirtualClock* clock = station_->Virtual()) {
        clock->SetIdleWaiter([this] { queue_.WaitIdleUnlessStopped(station_->runState.runFlag); });
    }
    if (!OpenDiagnostics()) {
        return kExitUsage;
    }
    model_.ReplaceRows(plan_.rows);
    ApplyCommandLine(options_, settings_, model_.values);
    control_ = std::make_unique<RunControl>(
        model_, station_->Io(), station_->runState, window_,
        RunControlHooks{[] { return true; },
                        [this](const std::string& text) { messageBoxText_ = text; }});
    control_->SetTestPlan(&plan_.plan);
    control_->OnStartStop();
    if (!control_->Running() && !control_->RunStarted()) {
        err_ << messageBoxText_ << '\n';
        CloseDiagnostics();
        return kExitDeviceNotOpened;
    }
    HandleUntilRunEnds();
    CloseDiagnostics();
    Drain();
    control_.reset();
    window_->Detach();
    completedTests_ = station_->summaryLines.Count();
    const int status = RunStatus();
    if (!options_.savePath.empty() && Save() != kExitRanToEnd) {
        return kExitNotSaved;
    }
    return status;
}

}  // namespace

int RunHeadless(const CliOptions& options, std::ostream& out, std::ostream& err,
                const std::atomic<bool>& stopRequest, HeadlessStats* stats) {
    HeadlessSession session(options, out, err, stopRequest);
    const int status = session.Run();
    if (stats) {
        *stats = session.Stats();
    }
    return status;
}

}  // namespace orvalt
