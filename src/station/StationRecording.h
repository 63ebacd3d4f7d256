#pragma once
// A session's run recording: the recorder with its database (the default
// SQLite file, the ResultsDatabase setting or a --db URL, as the front end
// chose), the adapter that feeds it the session's events, and the health of
// the database as the operator is told it. A database that cannot be opened or
// written never stops a test: the recorder spools and tries again.

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "domain/SessionObservers.h"
#include "reading/History.h"
#include "recording/RunRecorder.h"
#include "station/RunRecording.h"

namespace orvalt {

// The longest unit serial number, as long as the unit's description texts.
constexpr std::size_t kMaxSerialLength = 127;

struct RecordingOptions {
    // Off unless a front end turns it on: the window and the runner record
    // every run; a test records only into a folder of its own.
    bool on = false;
    // A SQLite file or a postgresql:// URL; empty: the default file in the
    // station's data folder.
    std::string database;
    // The local spool used while the database can't be written; empty: the
    // default one in the station's data folder.
    std::filesystem::path spool;
    // What a hand-over does while the database writer is behind (see
    // RunRecorder); the session chooses Wait in virtual time.
    WriterBehind whenBehind = WriterBehind::Grow;
    // The key that seals the runs; none: the station's own
    // (DefaultStationKeyPlace).
    std::optional<StationKeyPlace> stationKey{};
};

// A change of the database's health: "down" or "recovered", with its text.
struct RecordingHealth {
    bool reachable = false;
    std::string message;
};

// The run this session ended last, as its recorder named it: the report of
// "the last run" is of a run that is over, never of one still going.
class FinishedRunWatch final : public SessionObserver {
  public:
    explicit FinishedRunWatch(const RunRecorder& recorder) : recorder_(recorder) {}
    void RunEnded(int runNumber, RunEnd how) override;
    // Empty until a run of this session ended.
    std::string Uuid() const;

  private:
    const RunRecorder& recorder_;
    mutable std::mutex mutex_;
    std::string uuid_;
};

class StationRecording {
  public:
    // `fixture`: the fixture's name, where the station has one.
    StationRecording(const RecordingOptions& options, std::string fixture,
                     SessionObservers& observers);
    // Detaches from the events, then stores everything handed over.
    ~StationRecording();
    StationRecording(const StationRecording&) = delete;
    StationRecording& operator=(const StationRecording&) = delete;

    RunRecording& Events() { return *events_; }
    RunRecorder& Recorder() { return *recorder_; }
    const std::string& Database() const { return database_; }
    const std::string& Fixture() const { return fixture_; }
    // The run this session ended last; empty before the first one ended.
    std::string LastRunUuid() const { return finished_->Uuid(); }
    // Waits until everything handed over is written (or spooled).
    void Flush() { recorder_->Flush(); }
    // After a Flush: what closing now would lose, the records neither the
    // database nor the spool took, as a sentence; empty when nothing.
    std::string LossIfClosed() const { return recorder_->LossIfClosed(); }

    // Writes the report of the run this session ended last into `folder`
    // (made when missing) once all of it is stored; the file's path, or why
    // there is none (during the session's first run: that it has not ended).
    struct Report {
        std::filesystem::path file;
        std::string problem;
    };
    Report WriteLastRunReport(const std::filesystem::path& folder);
    // Where the window keeps the reports it opens: "Reports" in the station's
    // data folder, where they stay for the shift (the temporary folder may be
    // emptied at any time).
    static std::filesystem::path ReportFolder();

    // The recorded runs of the unit `serial`, newest first, from every station
    // that shares the database, once this session's own are stored; an error
    // when the records can't be read, or the store last found them away.
    Result<std::vector<HistoryRow>> RunsOfUnit(const std::string& serial);

    // The health changes not yet fetched, oldest first: a front end fetches
    // them on its own thread (the recorder's thread only queues them).
    std::vector<RecordingHealth> TakeHealth();

  private:
    void NoteHealth(bool reachable, const std::string& message);
    void LookAtSpool(const std::filesystem::path& spool, bool defaultSpool);

    std::string database_;
    std::string fixture_;
    SessionObservers& observers_;
    std::mutex healthMutex_;
    std::vector<RecordingHealth> health_;
    bool unreachable_ = false;  // as the store last found the database
    std::unique_ptr<RunRecorder> recorder_;
    std::unique_ptr<RunRecording> events_;
    std::unique_ptr<FinishedRunWatch> finished_;
};

}  // namespace orvalt
