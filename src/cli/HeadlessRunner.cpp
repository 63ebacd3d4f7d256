#include "cli/HeadlessRunner.h"

#include <chrono>
#include <ostream>
#include <utility>
#include <vector>

#include "cli/LotRun.h"
#include "cli/RecordsCommandParts.h"
#include "cli/StatusLine.h"
#include "config/TestPlanFile.h"
#include "diaglink/DiagPorts.h"
#include "domain/PrintableText.h"
#include "platform/ProcessSignals.h"
#include "platform/StopRequestWatcher.h"
#include "platform/Terminal.h"
#include "results/TestDataExport.h"
#include "sim/LotProfileJson.h"
#include "sim/UnitProfileJson.h"
#include "station/StationSession.h"

namespace orvalt {

namespace {

using namespace std::chrono_literals;

// How long the runner's end waits for the run's drift check: a check takes
// milliseconds; a server that does not answer is given up on.
constexpr std::chrono::milliseconds kSpcCheckWait = 10s;

// A value, or a message that names one, as the runner prints it: whole, with
// every control character escaped, so that no value given to the runner (a
// serial number, a file name) can forge a line or drive the terminal. The
// station's messages of several lines go out line by line (PrintableLines).
std::string Escaped(const std::string& text) {
    return PrintableText(text, std::string::npos);
}

// Set by SIGWINCH: the status line reads the terminal's width again.
std::atomic<bool> terminalResized{false};

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

// One run of the plan on a station session; this class only shows what the
// session handles (the log, and with --trace the Wait and Status cells).
class HeadlessSession final : private SessionView, private WindowObserver {
  public:
    HeadlessSession(const CliOptions& options, std::ostream& out, std::ostream& err,
                    StopRequest& stopRequest)
        : options_(options), out_(out), err_(err), stopRequest_(stopRequest) {}

    int Run();
    HeadlessStats Stats() const;

  private:
    bool LoadInputs();
    bool LoadLot();
    int RunLot();
    int RunUnit(std::int64_t number, LotTally& tally);
    int EndUnit(const std::string& serial, LotTally& tally);
    int FinishLot(const LotTally& tally);
    void CloseSession();
    bool ChooseDatabase();
    bool OpenDiagnostics();
    void HandleUntilRunEnds();
    void NotePower(const std::string& text);
    int Save();
    int RunStatus() const;
    bool LoadLimits();
    int WithVerdicts(int status);
    bool TellRecordLoss();
    int Finish();
    void WriteLine(const std::string& line);
    void PressStopWhenAsked();
    void StartRecording();
    void TellRecordingHealth();
    SessionOptions SessionFor() const;
    void Attach();
    bool Prepare();
    void Tell(const std::string& text);

    void ProgressShown(const ProgressMessage& message) override;
    void LinkErrorShown(const std::string& text) override;
    void AlarmsRaised(const std::vector<std::string>& lines) override;
    void AwaitSpcCheck();
    void TellRaisedAlarms(const std::string& lead);
    void LogAppended(const std::string& line) override;

    const CliOptions& options_;
    std::ostream& out_;
    std::ostream& err_;
    StopRequest& stopRequest_;

    std::string database_;  // where the run is recorded, when it is
    UnitProfile profile_;
    std::optional<LotProfile> lot_;
    LoadedPlan plan_;
    std::unique_ptr<StationSession> session_;
    std::optional<StatusLine> status_;
    std::string lastStatus_;
    // Said after the run's own reason, once each: a switch-off that failed at
    // the run's end and again at its close is one fact.
    std::string powerNotes_;
    std::string lastPowerNote_;
    std::string recordLoss_;
    std::vector<std::string> raisedAlarms_;
    bool runEnded_ = false;
    std::size_t completedTests_ = 0;
    bool stopped_ = false;
};

bool HeadlessSession::LoadInputs() {
    if (!LoadLot()) {
        return false;
    }
    if (!options_.unitProfilePath.empty()) {
        const Result<UnitProfile> unit =
            LoadUnitProfile(options_.unitProfilePath, &stopRequest_.Flag());
        if (!unit) {
            err_ << Escaped(unit.Error()) << '\n';
            return false;
        }
        profile_ = *unit;
    }
    Result<LoadedPlan> loaded = LoadTestPlanFile(options_.planPath, &stopRequest_.Flag());
    if (!loaded) {
        err_ << PrintableLines(loaded.Error()) << '\n';
        return false;
    }
    plan_ = std::move(loaded).Value();
    if (!plan_.warning.empty()) {
        err_ << Escaped(plan_.warning) << '\n';
    }
    if (plan_.plan.entries.empty()) {
        err_ << kPlanHoldsNoTests << '\n';
        return false;
    }
    return true;
}

bool HeadlessSession::LoadLot() {
    if (options_.lotProfilePath.empty()) {
        return true;
    }
    Result<LotProfile> lot = LoadLotProfile(options_.lotProfilePath, &stopRequest_.Flag());
    if (!lot) {
        err_ << Escaped(lot.Error()) << '\n';
        return false;
    }
    lot_ = std::move(lot).Value();
    profile_ = UnitOfLot(*lot_, 1);
    return true;
}

bool HeadlessSession::OpenDiagnostics() {
    if (!options_.diagPort.empty()) {
        const auto port = ResolvePortArgument(options_.diagPort, ListDiagPorts());
        if (!port || !session_->OpenLink(port->path, session_->Settings().BaudRate)) {
            err_ << PrintableLines(
                        CommPortOpenFailureText(Escaped(session_->Status().linkOpenError)))
                 << '\n';
            return false;
        }
    } else if (session_->Status().simulated && !options_.noDiag) {
        session_->HearSimulatedDiagLines();
    }
    return true;
}

// A results database that looks like a URL but is none is refused before the
// run: its records would otherwise go to a local file named after it.
bool HeadlessSession::ChooseDatabase() {
    if (options_.noRecord) {
        return true;
    }
    Result<std::string> chosen = RecordsDatabaseFor(options_.db);
    if (!chosen) {
        err_ << Escaped(chosen.Error()) << '\n';
        return false;
    }
    database_ = std::move(chosen).Value();
    return true;
}

// Each line goes out as it happens, so a real run shows its progress; after a
// stop, what is left in the queue goes out in one burst (Finish flushes it).
void HeadlessSession::WriteLine(const std::string& line) {
    if (status_) {
        status_->Clear();
    }
    out_ << line << '\n';
    if (!stopped_) {
        out_.flush();
    }
}

void HeadlessSession::ProgressShown(const ProgressMessage& message) {
    if (message.kind == ProgressStatus) {
        lastStatus_ = message.text;
    }
    if (options_.trace && message.kind == ProgressWait) {
        WriteLine("wait[" + std::to_string(message.row) + "]: " + message.text);
    } else if (options_.trace && message.kind == ProgressStatus) {
        WriteLine("status[" + std::to_string(message.row) + "]: " + message.text);
    }
}

void HeadlessSession::LinkErrorShown(const std::string& text) {
    Tell(text);
}

// Said after the run's own lines, once the run is over.
void HeadlessSession::AlarmsRaised(const std::vector<std::string>& lines) {
    raisedAlarms_.insert(raisedAlarms_.end(), lines.begin(), lines.end());
}

// The run's drift check reads the records on its own thread; its alarms reach
// stderr, and the records, before these are stored for good.
void HeadlessSession::AwaitSpcCheck() {
    session_->AwaitSpcChecks(kSpcCheckWait);
    session_->HandlePending(stopped_ ? DiagLines::Count : DiagLines::Show);
}

// Each alarm one line, after `lead` (a lot's unit names itself).
void HeadlessSession::TellRaisedAlarms(const std::string& lead) {
    for (const std::string& line : std::exchange(raisedAlarms_, {})) {
        err_ << Escaped(lead + line) << '\n';
    }
}

// A line on stderr during the run: the status line makes way for it.
void HeadlessSession::Tell(const std::string& text) {
    if (status_) {
        status_->Clear();
    }
    err_ << PrintableLines(text) << '\n';
}

void HeadlessSession::LogAppended(const std::string& line) {
    WriteLine(line);
}

// Stop returns once the worker has ended (or was given up), and then the run is
// over: what it posted is handled by Finish, behind however many diagnostic
// lines a flooding port queued before it.
void HeadlessSession::PressStopWhenAsked() {
    if (stopRequest_.Take() && !stopped_) {
        stopped_ = true;
        session_->Stop();
        runEnded_ = true;
    }
}

// The worker posts RunDone as its last act, but a stop between two tests ends
// it without one: then the run is over once the worker has gone. The loop
// sleeps until a message or a stop request comes; only the status line's
// redraw wakes it on time.
void HeadlessSession::HandleUntilRunEnds() {
    const StopRequestWatcher watcher(stopRequest_, [this] { session_->WakeHandler(); });
    const auto wait = status_ ? std::chrono::milliseconds(StatusLine::kRedrawPeriod) : 1s;
    const auto noteRunDone = [this](const PostedMessage& message) {
        runEnded_ = runEnded_ || std::holds_alternative<RunDoneMessage>(message);
    };
    while (!runEnded_) {
        if (status_) {
            if (terminalResized.exchange(false)) {
                status_->SetColumns(TerminalColumns(kStandardErrorFd));
            }
            status_->DrawIfDue(session_->Status().run, StatusLine::Clock::now());
        }
        TellRecordingHealth();
        PressStopWhenAsked();
        if (runEnded_) {
            break;
        }
        if (!session_->HandleNext(wait, noteRunDone) && !session_->Status().threadsGoing) {
            return;
        }
    }
}

void HeadlessSession::NotePower(const std::string& text) {
    if (text != lastPowerNote_) {
        powerNotes_ += text + '\n';
        lastPowerNote_ = text;
    }
}

int HeadlessSession::RunStatus() const {
    const bool everyTestCompleted = completedTests_ == plan_.plan.entries.size();
    return !stopped_ && everyTestCompleted ? kExitRanToEnd : kExitAbandonedOrStopped;
}

int HeadlessSession::Save() {
    const SaveResult result = session_->SaveTestData(options_.savePath, &stopRequest_.Flag());
    for (const std::string& error : result.errors) {
        err_ << Escaped(error) << '\n';
    }
    return result.Ok() ? kExitRanToEnd : kExitNotSaved;
}

HeadlessStats HeadlessSession::Stats() const {
    HeadlessStats stats;
    if (session_) {
        const SessionStatus status = session_->Status();
        stats.virtualMs = status.virtualElapsedMs.value_or(0);
        stats.summaryLines = completedTests_;
        stats.diagLines = status.diagLinesHandled;
    }
    return stats;
}

// After a stop, the diagnostic lines still queued are only counted: the run
// they could have served is over, and a flood of them must not delay the end.
void HeadlessSession::CloseSession() {
    if (status_) {
        status_->Clear();
        status_.reset();  // what follows goes out as plain lines
    }
    session_->CloseDiagnostics();
    session_->HandlePending(stopped_ ? DiagLines::Count : DiagLines::Show);
    out_.flush();
    session_->CloseRun();  // as the window's close: a stopped worker has ended by now
    AwaitSpcCheck();
    recordLoss_ = session_->StoreRecords();
    TellRecordingHealth();
    session_->Close();
}

int HeadlessSession::Finish() {
    CloseSession();
    completedTests_ = session_->Status().completedTests;
    const int status = RunStatus();
    if (!stopped_ && status == kExitAbandonedOrStopped && !lastStatus_.empty()) {
        err_ << PrintableLines(lastStatus_) << '\n';  // the device failure that abandoned the run
    }
    err_ << PrintableLines(powerNotes_);
    TellRaisedAlarms("");
    const bool recordLost = TellRecordLoss();
    if (!options_.savePath.empty() && Save() != kExitRanToEnd) {
        return kExitNotSaved;
    }
    const int judged = WithVerdicts(status);
    return recordLost ? kExitRecordLost : judged;
}

// What the recorder still holds in memory when the runner ends is lost with it.
bool HeadlessSession::TellRecordLoss() {
    if (!recordLoss_.empty()) {
        err_ << PrintableLines(recordLoss_) << '\n';
    }
    return !recordLoss_.empty();
}

bool HeadlessSession::LoadLimits() {
    if (options_.limitsPath.empty()) {
        return true;
    }
    const std::string error =
        session_->LoadLimits(options_.limitsPath, StationSession::Remember::No);
    if (!error.empty()) {
        err_ << PrintableText(options_.limitsPath, kMessageShownMax) << ": "
             << PrintableLines(error) << '\n';
    }
    return error.empty();
}

// The verdicts follow the whole log; a failed limit only changes the status
// of a plan that ran to its end.
int HeadlessSession::WithVerdicts(int status) {
    const VerdictSnapshot verdicts = session_->Verdicts();
    if (!verdicts.judged) {
        return status;
    }
    for (const std::string& line : verdicts.verdicts.Lines()) {
        out_ << line << '\n';
    }
    out_.flush();
    const bool failed = verdicts.verdicts.Unit() == VerdictKind::Fail;
    return status == kExitRanToEnd && failed ? kExitLimitFailed : status;
}

void HeadlessSession::StartRecording() {
    session_->SetPlanSource(std::filesystem::path(options_.planPath).filename().string(),
                            std::move(plan_.text));
    session_->SetUnitOnTest(options_.serial, options_.operatorName, options_.lot);
}

// The database's health reaches stderr from this thread only: the recorder's
// own thread just queues it.
void HeadlessSession::TellRecordingHealth() {
    for (const RecordingHealth& change : session_->TakeRecordingHealth()) {
        Tell(change.message);
    }
}

SessionOptions HeadlessSession::SessionFor() const {
    RecordingOptions recording;
    recording.on = !options_.noRecord;
    if (recording.on) {
        recording.database = database_;
    }
    return SessionOptions{
        StationOptions{options_.simulate, options_.fast, profile_, {}, options_.fixture},
        DefaultRegistryPath(), std::move(recording)};
}

// The runner as the session's front end: what the window shows, it prints.
void HeadlessSession::Attach() {
    SessionFront front;
    front.view = this;
    front.model = this;
    front.unitPower = [this](const std::string& text) { NotePower(text); };
    session_->Attach(std::move(front));
}

// Everything before Start; false when the limits or the port can't be used.
bool HeadlessSession::Prepare() {
    if (const RegStatus status = session_->Status().settingsLoad; !status.Ok()) {
        err_ << Escaped(status.message) << " The default settings are used.\n";
    }
    if (!LoadLimits()) {
        return false;
    }
    Attach();
    if (!OpenDiagnostics()) {
        return false;
    }
    session_->UsePlan(plan_.plan, plan_.rows);
    if (options_.statusLine) {
        status_.emplace(err_);
        status_->SetColumns(TerminalColumns(kStandardErrorFd));
        NoteTerminalResizes(terminalResized);
    }
    StartRecording();
    DialogValues values = session_->Model().values;
    ApplyCommandLine(options_, session_->Settings(), values);
    session_->SetDialogValues(values);
    return true;
}

int HeadlessSession::Run() {
    if (!LoadInputs()) {
        return stopRequest_.Take() ? kExitAbandonedOrStopped : kExitUsage;
    }
    if (!ChooseDatabase()) {
        return kExitUsage;
    }
    session_ = std::make_unique<StationSession>(SessionFor());
    if (!Prepare()) {
        return kExitUsage;
    }
    if (const UnitCheck unit = session_->CheckUnit(); unit.check == StartCheck::DiagLinkClosed) {
        err_ << PrintableLines(unit.text) << " Give --diag PORT.\n";
        session_->CloseDiagnostics();
        return kExitUsage;
    }
    if (lot_) {
        return RunLot();
    }
    const StartOutcome start = session_->Start();
    if (!start.Started()) {
        err_ << PrintableLines(start.message) << '\n';
        session_->CloseDiagnostics();
        return kExitDeviceNotOpened;
    }
    HandleUntilRunEnds();
    return Finish();
}

// ---- A lot: one session, one run a unit ----

// A stop request (Ctrl-C) stops the run going, as for one run, and no unit
// after it starts; every run of the lot up to it is recorded.
int HeadlessSession::RunLot() {
    LotTally tally;
    const std::int64_t units = options_.units.value_or(1);
    for (std::int64_t number = 1; number <= units && !stopped_; ++number) {
        if (stopRequest_.Take()) {
            stopped_ = true;
            break;
        }
        if (RunUnit(number, tally) == kExitDeviceNotOpened) {
            break;
        }
        AwaitNextMillisecond();
    }
    return FinishLot(tally);
}

// Unit `number` takes the last one's place in the fixture and runs the plan.
int HeadlessSession::RunUnit(std::int64_t number, LotTally& tally) {
    const std::int64_t units = options_.units.value_or(1);
    const std::string serial = LotSerial(LotSerialPrefix(options_), number, units);
    session_->InsertSimulatedUnit(UnitOfLot(*lot_, number));
    session_->SetUnitOnTest(serial, options_.operatorName, options_.lot);
    WriteLine("UNIT " + std::to_string(number) + " of " + std::to_string(units) + ": " +
              Escaped(serial));
    runEnded_ = false;
    lastStatus_.clear();
    const StartOutcome start = session_->Start();
    if (!start.Started()) {
        err_ << Escaped(serial) << ": " << PrintableLines(start.message) << '\n';
        tally.Add(kExitDeviceNotOpened, std::nullopt);
        return kExitDeviceNotOpened;
    }
    HandleUntilRunEnds();
    return EndUnit(serial, tally);
}

// What a single run says at its end, for one unit of the lot: the device
// failure that abandoned it (named by the unit) and its verdict lines.
int HeadlessSession::EndUnit(const std::string& serial, LotTally& tally) {
    if (status_) {
        status_->Clear();
    }
    session_->HandlePending(stopped_ ? DiagLines::Count : DiagLines::Show);
    AwaitSpcCheck();
    TellRecordingHealth();
    completedTests_ = session_->Status().completedTests;
    const int status = RunStatus();
    if (!stopped_ && status == kExitAbandonedOrStopped && !lastStatus_.empty()) {
        err_ << Escaped(serial) << ": " << PrintableLines(lastStatus_) << '\n';
    }
    TellRaisedAlarms(serial + ": ");
    const int judged = WithVerdicts(status);
    tally.Add(judged, UnitVerdictOf(session_->Verdicts()));
    return judged;
}

int HeadlessSession::FinishLot(const LotTally& tally) {
    CloseSession();
    err_ << PrintableLines(powerNotes_);
    out_ << tally.Line(options_.units.value_or(1), !options_.limitsPath.empty(), stopped_) << '\n';
    out_.flush();
    const bool recordLost = TellRecordLoss();
    return recordLost ? kExitRecordLost : tally.Status();
}

}  // namespace

int RunHeadless(const CliOptions& options, std::ostream& out, std::ostream& err,
                StopRequest& stopRequest, HeadlessStats* stats) {
    HeadlessSession session(options, out, err, stopRequest);
    const int status = session.Run();
    if (stats) {
        *stats = session.Stats();
    }
    return status;
}

}  // namespace orvalt
