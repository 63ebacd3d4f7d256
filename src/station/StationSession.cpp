#include "station/StationSession.h"

#include "config/SettingsTable.h"
#include "config/ShiftSetting.h"
#include "station/StartGates.h"

namespace orvalt {

namespace {

// How many posted messages virtual time lets wait for the handler thread
// before it stops to let the handler catch up: the handler then wakes once a
// batch instead of at every sleep, and the backlog stays a few hundred short
// texts. The order the messages are handled in is the order they were posted,
// so the log and the files do not change with it.
constexpr std::size_t kVirtualTimeLag = 512;

// Messages only shown: the handler may take them in a batch. A run's end and
// a link error wake it at once.
bool ShownOnly(const PostedMessage& message) {
    return std::holds_alternative<ProgressMessage>(message) ||
           std::holds_alternative<DiagLineMessage>(message);
}

RegStatus LoadSettingsFrom(const SessionOptions& options, SettingsRecord& settings) {
    if (options.settingsFile.empty()) {
        return RegStatus{};
    }
    RegistryStore store(options.settingsFile);
    return LoadStationSettings(settings, store, options.station.fixture);
}

// In virtual time nothing is timed by the wall clock, so the worker may wait
// for the database writer rather than let the recorder's queue grow.
std::unique_ptr<StationRecording> RecordingFor(const SessionOptions& options, Station& station,
                                               SessionObservers& observers) {
    if (!options.recording.on) {
        return nullptr;
    }
    RecordingOptions recording = options.recording;
    if (station.Virtual()) {
        recording.whenBehind = WriterBehind::Wait;
    }
    return std::make_unique<StationRecording>(recording, options.station.fixture, observers);
}

// Where the window's fields keep the unit's description in the settings.
constexpr std::array<std::pair<std::string UnitDescription::*, std::string SettingsRecord::*>, 7>
    kKeptDescription{{
        {&UnitDescription::manufacturer, &SettingsRecord::Manufacturer},
        {&UnitDescription::model, &SettingsRecord::Model},
        {&UnitDescription::type, &SettingsRecord::Type},
        {&UnitDescription::power, &SettingsRecord::Power},
        {&UnitDescription::fixtureSize, &SettingsRecord::FixtureSize},
        {&UnitDescription::driverManufacturer, &SettingsRecord::DriverManufacturer},
        {&UnitDescription::driverModel, &SettingsRecord::DriverModel},
    }};

}  // namespace

StationSession::StationSession(const SessionOptions& options)
    : settingsLoad_(LoadSettingsFrom(options, settings_)),
      settingsFile_(options.settingsFile),
      fixture_(options.station.fixture),
      presence_(settingsFile_, fixture_),
      station_(options.station),
      queue_(options.diagBacklog),
      handle_(std::make_shared<PostTarget>([this](PostedMessage&& m) { Deliver(std::move(m)); })),
      recorder_(diagTable_, station_.GetClock(), observers_, testOrigin_),
      link_(&recorder_),
      diagControl_(link_, settings_),
      plan_(std::make_unique<TestPlan>()),
      runControl_(model_, Io(), runState_, handle_, RunControlHooks{}) {
    link_.SetDroppedLinesSource([this] { return queue_.TakeDroppedLines(); });
    if (VirtualClock* clock = station_.Virtual()) {
        clock->SetIdleWaiter(
            [this] { queue_.CatchUpUnlessStopped(kVirtualTimeLag, runState_.runFlag); });
    }
    idleWake_ = runState_.runFlag.AddWaker([this] { queue_.WakeIdleWaiters(); });
    // Observers are told in the order attached: the keeper judges the unit as
    // a run ends before the recording asks it for that one verdict to keep.
    observers_.Attach(verdictKeeper_);
    recording_ = RecordingFor(options, station_, observers_);
    if (recording_) {
        recording_->Events().TakeUnitVerdictFrom([this] { return UnitVerdictOf(Verdicts()); });
        // Attached after the recording: the recorder has named a run by the
        // time the watch is told of its end.
        spcWatch_ = std::make_unique<SpcWatch>(recording_->Database(), settingsFile_, fixture_,
                                               recording_->Recorder(), handle_);
        observers_.Attach(*spcWatch_);
    }
    SetRunHooks({});
    if (!settingsFile_.empty()) {
        RegistryStore store(settingsFile_);
        shift_.RequireSerial(LoadSerialRequired(store));
    }
    if (options.watchRunFlag) {
        options.watchRunFlag(runState_.runFlag);
    }
}

StationSession::~StationSession() {
    runControl_.StopTestRun();
    runState_.runFlag.RemoveWaker(idleWake_);
    CloseDiagnostics();
    handle_->Detach();
    if (spcWatch_) {
        observers_.Detach(*spcWatch_);
        spcWatch_.reset();
    }
    recording_.reset();
    observers_.Detach(verdictKeeper_);
}

StationIo StationSession::Io() {
    StationIo io{&station_.GetDaq(), &station_.GetClock(),    &settings_, &diagTable_,
                 &summaryLines_,     &station_.MarkerLevel(), &observers_};
    io.origin = &testOrigin_;
    io.outcomeOf = [this](const TestEnd& test) { return verdictKeeper_.OutcomeOf(test); };
    return io;
}

// ---- The front end ----

void StationSession::Attach(SessionFront front) {
    view_ = front.view;
    model_.SetObserver(front.model);
    SetRunHooks(std::move(front.runHooks));
    diagMetrics_ = std::move(front.diagMetrics);
    SetPostedHook(std::move(front.posted));
    runControl_.SetUnitPowerReport(std::move(front.unitPower));
}

SessionStatus StationSession::Status() {
    SessionStatus status;
    status.run = runControl_.Status().Now(station_.GetClock().NowMs());
    status.runGoing = runControl_.Running();
    status.threadsGoing = RunThreadsGoing();
    status.startStopPress = runControl_.StartStopPress();
    status.completedTests = summaryLines_.Count();
    status.unitSerial = unitSerial_;
    status.diagLinkOpen = link_.IsOpen();
    status.hearsDiagLines = HearsDiagLines();
    status.linkOpenError = linkOpenError_;
    status.diagLinesHandled = diagLinesHandled_;
    status.recordsRuns = recording_ != nullptr;
    status.driftAlarms = raisedAlarms_;
    status.limitsFile = limits_.Current() ? limits_.File() : std::filesystem::path();
    status.simulated = station_.Simulated();
    if (const VirtualClock* clock = station_.Virtual()) {
        status.virtualElapsedMs = clock->ElapsedMs();
    }
    status.fixture = fixture_;
    status.settingsFile = settingsFile_;
    status.settingsLoad = settingsLoad_;
    return status;
}

// ---- The window's fields and what is kept of them ----

void StationSession::KeepWindowSettings(const std::array<std::int32_t, 9>& columnWidths) {
    settings_.ColumnWidth = columnWidths;
    for (const auto& [value, setting] : kKeptDescription) {
        settings_.*setting = model_.values.description.*value;
    }
    settings_.TTOTestOption = model_.values.ttoOption;
}

RegStatus StationSession::SaveSettings() {
    if (settingsFile_.empty()) {
        return RegStatus{};
    }
    RegistryStore store(settingsFile_);
    return SaveStationSettings(settings_, store, fixture_);
}

// ---- Limits and verdicts ----

std::string StationSession::RestoreLimits() {
    if (settingsFile_.empty()) {
        return {};
    }
    RegistryStore store(settingsFile_);
    std::string error = limits_.Restore(store);
    LimitsChanged();
    return error;
}

std::string StationSession::LoadLimits(const std::filesystem::path& file, Remember remember,
                                       std::string* rememberError) {
    // A store without a file remembers nothing; a session without a settings
    // file keeps nothing, and says nothing about it.
    const bool keep = remember == Remember::Yes && !settingsFile_.empty();
    RegistryStore store(keep ? settingsFile_ : std::filesystem::path());
    std::string ignored;
    std::string error = limits_.Load(file, store, keep ? rememberError : &ignored);
    if (error.empty()) {
        verdictKeeper_.ForgetFinishedRun();
    }
    LimitsChanged();
    return error;
}

void StationSession::LimitsChanged() {
    limitsSource_ = limits_.Current()
                        ? MakePlanSource(limits_.File().filename().string(), limits_.Text())
                        : LimitsSource{};
}

// ---- The run ----

StartOutcome StationSession::Start() {
    StartOutcome outcome = runControl_.Start();
    if (outcome.Started()) {
        shift_.Started(unitSerial_);
    }
    return outcome;
}

// ---- Run records ----

void StationSession::SetRunHooks(RunControlHooks hooks) {
    hooks.opened = [this, opened = std::move(hooks.opened)](LJ_HANDLE handle) {
        TakeRunInputs(handle);
        if (opened) {
            opened(handle);
        }
    };
    runControl_.SetHooks(std::move(hooks));
}

// On the handler thread, the device open and the worker not yet started. The
// keeper judges the run with the limits the record names: both are taken
// here, so limits loaded while the run goes wait for the next one.
void StationSession::TakeRunInputs(LJ_HANDLE handle) {
    verdictKeeper_.UseLimits(limits_.Current());
    PrepareRecord(handle);
    raisedAlarms_.clear();
    if (spcWatch_) {
        spcWatch_->Prepare(model_.values.description.model);
    }
}

// What the worker must not read, and what the device says of itself.
void StationSession::PrepareRecord(LJ_HANDLE handle) {
    if (!recording_) {
        return;
    }
    const TestPlan none;
    const DaqIdentity device = station_.GetDaq().Identity(handle);
    const SnapshotInputs inputs{settings_,
                                model_.values.description,
                                unitSerial_,
                                plan_ ? *plan_ : none,
                                model_.TestRows(),
                                planSource_,
                                recording_->Fixture(),
                                people_,
                                limitsSource_,
                                device};
    recording_->Events().Prepare(TakeRunSnapshot(inputs));
}

void StationSession::SetPlanSource(std::string fileName, std::string text) {
    planSource_ = MakePlanSource(std::move(fileName), std::move(text));
}

// ---- Messages ----

void StationSession::SetPostedHook(std::function<void(const PostedMessage&)> posted) {
    std::scoped_lock lock(postedLock_);
    posted_ = std::move(posted);
}

// On the posting thread. The hook runs after the push, so a handler it wakes
// finds the message.
void StationSession::Deliver(PostedMessage&& message) {
    std::scoped_lock lock(postedLock_);
    if (!posted_) {
        Enqueue(std::move(message));
        return;
    }
    const PostedMessage copy = message;
    Enqueue(std::move(message));
    posted_(copy);
}

// While a run goes on in virtual time, the worker hands the handler its
// messages in batches (see kVirtualTimeLag).
void StationSession::Enqueue(PostedMessage&& message) {
    if (station_.Virtual() && runState_.runFlag.Up() && ShownOnly(message)) {
        queue_.PushQuietly(std::move(message));
    } else {
        queue_.Push(std::move(message));
    }
}

bool StationSession::HandleNext(std::chrono::milliseconds wait,
                                const std::function<void(const PostedMessage&)>& before) {
    auto message = queue_.WaitPop(wait);
    if (!message) {
        return false;
    }
    if (before) {
        before(*message);
    }
    Handle(*message);
    queue_.DoneHandling();
    return true;
}

void StationSession::HandlePending(DiagLines lines) {
    while (auto message = queue_.TryPop()) {
        if (lines == DiagLines::Count && std::holds_alternative<DiagLineMessage>(*message)) {
            ++diagLinesHandled_;
        } else {
            Handle(*message);
        }
        queue_.DoneHandling();
    }
}

void StationSession::Handle(const PostedMessage& message) {
    std::visit([this](const auto& m) { Handle(m); }, message);
}

void StationSession::Handle(const ProgressMessage& message) {
    runControl_.OnProgress(message);
    if (view_) {
        view_->ProgressShown(message);
    }
}

// The line is already in the DiagTable; here it reaches the list and, while
// Extra Log is on, the log.
void StationSession::Handle(const DiagLineMessage& message) {
    ++diagLinesHandled_;
    const DiagLineResult result = OnDiagLine(diagView_, message.line, diagMetrics_);
    if (runState_.extraLog.load() != 0) {
        model_.AppendLog(DiagEchoText(message.line.fields));
    }
    if (view_) {
        view_->DiagLineShown(result);
    }
}

void StationSession::Handle(const LinkErrorMessage& message) {
    if (view_) {
        view_->LinkErrorShown(message.text);
    }
}

void StationSession::Handle(const RunDoneMessage& message) {
    runControl_.OnRunDone(message);
}

void StationSession::Handle(const SpcCheckedMessage& message) {
    raisedAlarms_.insert(raisedAlarms_.end(), message.alarms.begin(), message.alarms.end());
    if (view_ && !message.alarms.empty()) {
        view_->AlarmsRaised(message.alarms);
    }
}

// ---- The plan ----

void StationSession::UsePlan(TestPlan plan, std::vector<TestRowTexts> rows) {
    verdictKeeper_.UsePlannedTests(plan.entries.size());
    model_.EnableStartStop(false);
    FreePlan();
    plan_ = std::make_unique<TestPlan>(std::move(plan));
    runControl_.SetTestPlan(plan_.get());
    model_.ReplaceRows(std::move(rows));
    model_.EnableStartStop(true);
}

void StationSession::FreePlan() {
    runControl_.SetTestPlan(nullptr);
    if (runControl_.HasAbandonedWorker()) {
        retiredPlans_.push_back(std::move(plan_));
    } else {
        retiredPlans_.clear();
        plan_.reset();
    }
}

// ---- The diagnostic link ----

DiagOpenOutcome StationSession::OnDiagOpen(const DiagPort* selected,
                                           std::optional<std::int32_t> baudRate) {
    const DiagOpenOutcome outcome = diagControl_.OnDiagOpen(handle_, selected, baudRate);
    if (outcome == DiagOpenOutcome::Opened) {
        LinkOpened(selected->path);
    } else if (outcome == DiagOpenOutcome::OpenFailed) {
        LinkNotOpened(selected->path);
    } else if (outcome == DiagOpenOutcome::Closed) {
        presence_.SetHeldPort({});
    }
    return outcome;
}

bool StationSession::OpenLink(const std::string& path, std::int32_t baudRate) {
    if (!link_.OpenLink(handle_, path, baudRate)) {
        LinkNotOpened(path);
        return false;
    }
    LinkOpened(path);
    return true;
}

void StationSession::LinkOpened(const std::string& path) {
    linkOpenError_.clear();
    presence_.SetChosenPort(path);
    presence_.SetHeldPort(path);
}

// The device only says it is busy; the station that holds it says who it is.
void StationSession::LinkNotOpened(const std::string& path) {
    const std::optional<FixtureClaim> holder = presence_.HolderOf(path);
    linkOpenError_ = holder ? HeldByText(path, holder->fixture) : link_.LastOpenError();
}

std::optional<std::size_t> StationSession::PreselectPort(
    const std::vector<DiagPort>& ports, const std::optional<std::string>& ownPort) {
    std::optional<std::size_t> chosen;
    if (fixture_.empty()) {
        chosen = InitialPortSelection(ports, settings_.CommPort);
    } else {
        chosen = FixturePortSelection(ports, settings_.CommPort, ownPort,
                                      presence_.PortsOthersUse(settingsFile_));
    }
    if (chosen) {
        presence_.SetChosenPort(ports[*chosen].path);
    }
    return chosen;
}

void StationSession::SetUnitOnTest(std::string serial, std::string operatorName, std::string lot) {
    unitSerial_ = std::move(serial);
    people_.operatorName = std::move(operatorName);
    people_.lot = std::move(lot);
}

UnitCheck StationSession::CheckUnit() {
    const StartCheck unit = shift_.Check(unitSerial_);
    if (unit == StartCheck::SerialMissing) {
        return {unit, {}};
    }
    if (const Limits* limits = limits_.Current()) {
        const std::vector<std::string> judged = JudgedDiagnosticFigures(*limits);
        if (!judged.empty() && !HearsDiagLines()) {
            return {StartCheck::DiagLinkClosed, DiagLinkRequiredText(judged)};
        }
    }
    return CheckRetest(unit);
}

// The records know the runs of every station and of earlier sessions; this
// session's count stands in when they can't be read, or have not yet taken
// in its runs (they wait in the spool).
UnitCheck StationSession::CheckRetest(StartCheck unit) {
    const std::string_view serial = unitSerial_;
    if (BlankSerial(serial)) {
        return {unit, {}};
    }
    if (recording_) {
        const auto runs = recording_->RunsOfUnit(unitSerial_);
        if (runs && !runs->empty()) {
            return {StartCheck::Retest,
                    RetestQuestion(serial, *runs, std::chrono::system_clock::now())};
        }
    }
    if (unit == StartCheck::Retest) {
        return {unit, RetestQuestion(serial, shift_.RunsOf(serial))};
    }
    return {unit, {}};
}

void StationSession::HearSimulatedDiagLines() {
    station_.CarryDiagLines([this](const std::string& line) { HearDiagLine(line); });
}

void StationSession::HearDiagLine(std::string_view bytes) {
    handle_->Post(DiagLineMessage{recorder_.Record(bytes)});
}

void StationSession::CloseDiagnostics() {
    link_.ClearNotificationWindow();
    link_.CloseLink();
    presence_.SetHeldPort({});
    station_.StopSimulatedDiagLines();
}

void StationSession::Close() {
    FreePlan();
    link_.ClearNotificationWindow();
    link_.CloseLink();
    presence_.SetHeldPort({});
    OnDiagClear();
    handle_->Detach();
}

}  // namespace orvalt
