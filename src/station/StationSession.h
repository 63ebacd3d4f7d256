#pragma once
// One fixture's station session: the composition root every front end drives.
// The window, the runner and the tests attach to it, act through it and read
// its one status; none of them wires parts or routes messages. Only the
// handler thread (whoever calls HandleNext) calls it; observers are called
// from the worker and link threads. More: docs/design/station-session.md.

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/RegistryStore.h"
#include "config/SettingsRecord.h"
#include "config/TestPlan.h"
#include "diaglink/CDiagCommPort.h"
#include "diaglink/DiagLinkControl.h"
#include "diaglink/DiagRecorder.h"
#include "diaglink/DiagTable.h"
#include "diaglink/DiagView.h"
#include "domain/MessageQueue.h"
#include "domain/SessionObservers.h"
#include "domain/TestOrigin.h"
#include "execution/CloseConfirmation.h"
#include "execution/RunControl.h"
#include "execution/WindowModel.h"
#include "results/SummaryLines.h"
#include "results/TestDataExport.h"
#include "spc/SpcWatch.h"
#include "station/FixturePresence.h"
#include "station/RunSnapshot.h"
#include "station/SerialShift.h"
#include "station/Station.h"
#include "station/StationRecording.h"
#include "station/VerdictKeeper.h"
#include "verdict/LimitsInUse.h"

namespace orvalt {

struct SessionOptions {
    StationOptions station;
    // Where the settings are loaded from at start and saved to by
    // SaveSettings. Empty: the defaults, and nothing is ever saved.
    std::filesystem::path settingsFile{};
    // Whether and where the runs are recorded.
    RecordingOptions recording{};
    // How many diagnostic lines may wait for the handler thread (the default
    // suits every real baud rate).
    DiagBacklogLimit diagBacklog{};
    // For a test that keeps the worker where it posted until a stop: told,
    // once, of the flag a stop lowers.
    std::function<void(const RunFlag&)> watchRunFlag{};
};

// What the session's front end shows of the messages it handled; called on
// the handler thread, after the session has updated its model.
class SessionView {
  public:
    virtual ~SessionView() = default;
    virtual void ProgressShown(const ProgressMessage& /*message*/) {}
    virtual void DiagLineShown(const DiagLineResult& /*result*/) {}
    virtual void LinkErrorShown(const std::string& /*text*/) {}
    // The drift check of a run's unit raised these alarms, one line each.
    virtual void AlarmsRaised(const std::vector<std::string>& /*lines*/) {}
};

// How a front end is wired to its session; every part may stay empty.
struct SessionFront {
    SessionView* view = nullptr;
    // Told of every change of the WindowModel.
    WindowObserver* model = nullptr;
    // A Start that opens the device also fixes the run's limits and takes its
    // record snapshot; the hooks' own `opened` is called after that.
    RunControlHooks runHooks{};
    DiagTextMetrics diagMetrics{};
    // Called on the posting thread after each message was queued (a window
    // schedules HandleNext on its own thread with it).
    std::function<void(const PostedMessage&)> posted{};
    // Told what became of the unit's power after a run, on the handler thread.
    std::function<void(const std::string&)> unitPower{};
};

// What the front ends read of the session, at one moment.
struct SessionStatus {
    // Where the latest run stands.
    RunStatusNow run;
    // A run's worker is going.
    bool runGoing = false;
    // A run's worker, or a stopped one that overran its stop, is still going.
    bool threadsGoing = false;
    // What a press of Start/Stop does now (see RunControl::StartStopPress).
    StartStop startStopPress = StartStop::Start;
    // The latest run's summary lines that no save has written yet.
    std::size_t completedTests = 0;
    // The unit the next Start tests; it goes to the record only.
    std::string unitSerial;
    bool diagLinkOpen = false;
    // The link is open, or the simulated driver's lines are carried straight
    // in.
    bool hearsDiagLines = false;
    // Why the last opening of the link failed; a port another fixture of this
    // PC holds is said to be held by it.
    std::string linkOpenError;
    std::size_t diagLinesHandled = 0;
    bool recordsRuns = false;
    // The drift alarms raised since the last Start, one line each, as they
    // were shown.
    std::vector<std::string> driftAlarms;
    // The limits file in force; empty: no limits.
    std::filesystem::path limitsFile;
    bool simulated = false;
    // How far virtual time has run; nothing in real time.
    std::optional<std::uint64_t> virtualElapsedMs;
    // The fixture this session serves (empty: the station without a name).
    std::string fixture;
    // The settings file (empty: nothing is kept), for what a front end keeps
    // beside the settings under keys of its own.
    std::filesystem::path settingsFile;
    // The outcome of loading the settings file (ok when there was none).
    RegStatus settingsLoad;
};

// What Start must do for the unit on test, with what the operator is to be
// told: the retest question, or why the link must be open first.
struct UnitCheck {
    StartCheck check = StartCheck::Go;
    std::string text;
};

// The other stations running on this PC now, and this one's place among them
// (0 when it holds none).
struct FixturesOnThisPc {
    std::size_t ownSlot = 0;
    std::vector<FixtureClaim> others;
};

// What HandlePending does with the diagnostic lines it meets.
enum class DiagLines { Show, Count };

class StationSession {
  public:
    explicit StationSession(const SessionOptions& options);
    // Stops the run and the link; nothing posted from now on is handled.
    ~StationSession();
    StationSession(const StationSession&) = delete;
    StationSession& operator=(const StationSession&) = delete;

    // ---- The front end ----
    // Replaces the whole wiring; before the first Start, and an empty one
    // before the front end goes.
    void Attach(SessionFront front);
    // Observers are told of every run, test, reading, switch and diagnostic
    // line, from the worker and link threads; attach any time.
    SessionObservers& Observers() { return observers_; }
    SessionStatus Status();

    // ---- The handler thread ----
    // Handles the next message, waiting up to `wait` for one; false when none
    // came. `before` sees it first.
    bool HandleNext(std::chrono::milliseconds wait,
                    const std::function<void(const PostedMessage&)>& before = {});
    // Handles every message already queued; DiagLines::Count only counts the
    // diagnostic lines (a stopped run's flood must not delay its end).
    void HandlePending(DiagLines lines = DiagLines::Show);
    // Ends the handler thread's current (or next) wait in HandleNext, which
    // then returns false; any thread.
    void WakeHandler() { queue_.Wake(); }

    // ---- The run ----
    // Begins a run of the plan in use, or says why not. A run begun under a
    // serial number makes the next one under it a retest.
    StartOutcome Start();
    // Stops a running worker and gives the controls back; true if one was
    // stopped.
    bool Stop() { return runControl_.StopRun(); }
    // The next run tests another simulated unit (a lot's next one). False, and
    // nothing changes, on a real device or while a run's worker is going.
    bool InsertSimulatedUnit(const UnitProfile& unit) {
        return !RunThreadsGoing() && station_.InsertSimulatedUnit(unit);
    }
    // Asks before a close would stop a run going or lose completed tests not
    // saved; true when the window may close now (see ConfirmClose).
    bool MayClose(const CloseConfirmationHooks& hooks) {
        return ConfirmClose(runControl_, summaryLines_, hooks);
    }
    // The close's first step: stops a run still going and leaves the unit
    // switched off, or reports why it may still be powered.
    void CloseRun() { runControl_.CloseRun(); }

    // ---- The window's fields and what is kept of them ----
    const SettingsRecord& Settings() const { return settings_; }
    const WindowModel& Model() const { return model_; }
    // The dialog's fields as the front end read them.
    void SetDialogValues(const DialogValues& values) { model_.values = values; }
    // The window's column widths, and the unit description and Time-to-OFF
    // choice of the dialog's fields, go into the settings.
    void KeepWindowSettings(const std::array<std::int32_t, 9>& columnWidths);
    RegStatus SaveSettings();
    // "Save Test Data" of the dialog's unit description, the log and the
    // summary lines (see results/TestDataExport.h).
    SaveResult SaveTestData(const std::filesystem::path& chosen,
                            const std::atomic<bool>* stop = nullptr) {
        return orvalt::SaveTestData(chosen, model_.values.description, model_.LogLines(),
                                    summaryLines_, stop);
    }

    // ---- The plan ----
    // The plan the next Start runs, with its rows for the test list.
    void UsePlan(TestPlan plan, std::vector<TestRowTexts> rows);
    // Where the plan in use came from, for the run records.
    void SetPlanSource(std::string fileName, std::string text);

    // ---- The unit on test and its records ----
    // The unit's serial number, who tests it (as typed or scanned; empty: the
    // login name) and the lot or work order: they go to the record only,
    // never to the CSV files, and stay from unit to unit.
    void SetUnitOnTest(std::string serial, std::string operatorName, std::string lot);
    // The Start gates in their order. A unit is a retest when the records
    // (every station sharing them) or this session hold a run of it.
    UnitCheck CheckUnit();
    // The changes of the database's health since the last call; none when
    // recording is off.
    std::vector<RecordingHealth> TakeRecordingHealth() {
        return recording_ ? recording_->TakeHealth() : std::vector<RecordingHealth>{};
    }
    // The last run's report, written into the reports folder; an empty file
    // and the problem when it could not be.
    StationRecording::Report WriteLastRunReport() {
        if (!recording_) {
            return {{}, "Runs are not recorded"};
        }
        return recording_->WriteLastRunReport(StationRecording::ReportFolder());
    }
    // Waits at most `most` until the runs ended so far are checked for drift
    // and their outcomes posted (HandlePending then shows them); true when
    // they are, or when runs are not recorded and so never checked.
    bool AwaitSpcChecks(std::chrono::milliseconds most) {
        return spcWatch_ ? spcWatch_->WaitUntilChecked(most) : true;
    }
    // Waits until every event handed to the records is stored somewhere, and
    // says what would be lost if the station ended now (empty: nothing).
    std::string StoreRecords() {
        if (!recording_) {
            return {};
        }
        recording_->Flush();
        return recording_->LossIfClosed();
    }

    // ---- The diagnostic link ----
    // The Open/Close button.
    DiagOpenOutcome OnDiagOpen(const DiagPort* selected, std::optional<std::int32_t> baudRate);
    // Opens the link on a port named directly (no settings are stored).
    bool OpenLink(const std::string& path, std::int32_t baudRate);
    // The port the list offers first: the station without a name takes the
    // one numbered CommPort, else the first; a fixture also passes over the
    // ports the PC's other stations hold or keep, and prefers `ownPort` (its
    // simulated driver's). The choice is told to the other stations.
    std::optional<std::size_t> PreselectPort(const std::vector<DiagPort>& ports,
                                             const std::optional<std::string>& ownPort);
    // The simulated driver's port, when there is one, for the port list.
    std::vector<DiagPort> SimulatedDiagPorts() {
        std::vector<DiagPort> ports;
        if (auto port = station_.WriteSimulatedDiagLinesToPort()) {
            ports.push_back(*port);
        }
        return ports;
    }
    // The simulated driver's lines straight into the session, as if received.
    void HearSimulatedDiagLines();
    const DiagView& Diag() const { return diagView_; }
    void OnDiagClear() { orvalt::OnDiagClear(diagView_); }
    // Empties the diagnostic table (the window's list starts over with it).
    void ResetDiagTable() { orvalt::ResetDiagTable(diagTable_); }
    // Closes the link and stops the simulated driver's lines.
    void CloseDiagnostics();

    // ---- The other fixtures of this PC ----
    FixturesOnThisPc OtherFixtures() const {
        return {presence_.Slot().value_or(0), presence_.Others()};
    }
    // Where this session's verdict panel is on the screen, for the others.
    void SetVerdictPlace(const WindowPlace& place) { presence_.SetVerdictPlace(place); }

    // ---- Limits and verdicts ----
    // The limits file remembered in the settings file, loaded at start. Empty
    // when there was none or it loaded; otherwise why not (no limits then).
    std::string RestoreLimits();
    // "Load Limits..." (Remember::Yes) or --limits (Remember::No). Empty on
    // success; otherwise "Line N: ..." or why the file could not be read, and
    // the limits in force stay. They apply from the next Start: the keeper
    // gets them there, in the same step as the run's record names them.
    enum class Remember { Yes, No };
    std::string LoadLimits(const std::filesystem::path& file, Remember remember,
                           std::string* rememberError = nullptr);
    // The verdicts of the last run (none when it had no limits); any thread.
    VerdictSnapshot Verdicts() const { return verdictKeeper_.Snapshot(); }

    // The close sequence's end: the plan goes, the link closes, the rows are
    // cleared and nothing posted from now on is handled.
    void Close();

  private:
    void SetRunHooks(RunControlHooks hooks);
    void SetPostedHook(std::function<void(const PostedMessage&)> posted);
    bool HearsDiagLines() const { return link_.IsOpen() || station_.CarriesDiagLines(); }
    bool RunThreadsGoing() { return runControl_.Running() || runControl_.HasAbandonedWorker(); }
    // A stopped worker that overran its stop may still walk the plan in use:
    // it is kept until that worker has ended.
    void FreePlan();
    // One line (its exact bytes, CR/LF cut off) as the link would hear it:
    // recorded on the calling thread, then posted for the views.
    void HearDiagLine(std::string_view bytes);
    StationIo Io();
    void Deliver(PostedMessage&& message);
    void Enqueue(PostedMessage&& message);
    void Handle(const PostedMessage& message);
    void Handle(const ProgressMessage& message);
    void Handle(const DiagLineMessage& message);
    void Handle(const LinkErrorMessage& message);
    void Handle(const RunDoneMessage& message);
    void Handle(const SpcCheckedMessage& message);
    void TakeRunInputs(LJ_HANDLE handle);
    void PrepareRecord(LJ_HANDLE handle);
    void LimitsChanged();
    UnitCheck CheckRetest(StartCheck unit);
    void LinkOpened(const std::string& path);
    void LinkNotOpened(const std::string& path);

    SettingsRecord settings_;
    RegStatus settingsLoad_;
    std::filesystem::path settingsFile_;
    std::string fixture_;
    FixturePresence presence_;
    Station station_;
    SessionObservers observers_;
    // The current test's time origin: the worker moves it, the link's thread
    // stamps diagnostic lines from it.
    TestOrigin testOrigin_;
    LimitsInUse limits_;
    LimitsSource limitsSource_;
    VerdictKeeper verdictKeeper_;
    std::unique_ptr<StationRecording> recording_;
    // After the recording, whose recorder keeps its alarms.
    std::unique_ptr<SpcWatch> spcWatch_;
    std::vector<std::string> raisedAlarms_;
    PlanSource planSource_;
    std::string unitSerial_;
    RunPeople people_;
    SerialShift shift_;
    RunState runState_;
    // The run flag's waker that ends the virtual clock's idle wait on Stop.
    int idleWake_ = 0;
    SummaryLines summaryLines_;
    DiagTable diagTable_;
    MessageQueue queue_;
    std::mutex postedLock_;
    std::function<void(const PostedMessage&)> posted_;
    WindowHandle handle_;
    WindowModel model_;
    DiagView diagView_;
    DiagTextMetrics diagMetrics_;
    SessionView* view_ = nullptr;
    std::size_t diagLinesHandled_ = 0;
    DiagRecorder recorder_;
    CDiagCommPort link_;
    DiagLinkControl diagControl_;
    std::string linkOpenError_;
    std::unique_ptr<TestPlan> plan_;
    std::vector<std::unique_ptr<TestPlan>> retiredPlans_;
    // Last: it stops and waits for the worker before anything it uses goes.
    RunControl runControl_;
};

}  // namespace orvalt
