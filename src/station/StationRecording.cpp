#include "station/StationRecording.h"

#include "output/ReportFile.h"
#include "platform/DataPaths.h"
#include "recording/SpoolOnStart.h"
#include "records/RecordsToRead.h"
#include "records/ResultsSetting.h"
#include "records/SqlConnection.h"

namespace orvalt {

namespace {

std::string DatabaseOf(const RecordingOptions& options) {
    return options.database.empty() ? DefaultResultsDatabase().string() : options.database;
}

std::filesystem::path SpoolOf(const RecordingOptions& options) {
    return options.spool.empty() ? DefaultResultsSpool(DatabaseOf(options)) : options.spool;
}

}  // namespace

StationRecording::StationRecording(const RecordingOptions& options, std::string fixture,
                                   SessionObservers& observers)
    : database_(DatabaseOf(options)), fixture_(std::move(fixture)), observers_(observers) {
    RecordStoreOptions store;
    store.target = database_;
    store.spool = SpoolOf(options);
    store.stationKey = options.stationKey.value_or(DefaultStationKeyPlace());
    LookAtSpool(store.spool, options.spool.empty());
    store.report = [this](bool reachable, const std::string& message) {
        {
            std::scoped_lock lock(healthMutex_);
            unreachable_ = !reachable;
        }
        NoteHealth(reachable, message);
    };
    RecorderOptions recorder;
    recorder.whenBehind = options.whenBehind;
    recorder_ = std::make_unique<RunRecorder>(std::move(store), recorder);
    events_ = std::make_unique<RunRecording>(*recorder_);
    finished_ = std::make_unique<FinishedRunWatch>(*recorder_);
    observers_.Attach(*events_);
    observers_.Attach(*finished_);
}

StationRecording::~StationRecording() {
    observers_.Detach(*finished_);
    observers_.Detach(*events_);
    recorder_.reset();  // stores the rest while the health sink still stands
}

StationRecording::Report StationRecording::WriteLastRunReport(const std::filesystem::path& folder) {
    Flush();
    const std::string uuid = LastRunUuid();
    if (uuid.empty()) {
        const bool going = !recorder_->LastRunUuid().empty();
        return {{}, std::string(going ? kNoRunEnded : kNoRunRecorded)};
    }
    // Writing a report never changes the database the station records to.
    const Result<std::unique_ptr<SqlConnection>> opened = OpenRecordsToRead(database_);
    if (!opened) {
        return {{}, opened.Error()};
    }
    if (!*opened) {
        return {{}, std::string(kNoRunRecorded)};
    }
    std::error_code ignored;  // a folder that can't be made fails the write, which says so
    std::filesystem::create_directories(folder, ignored);
    const std::filesystem::path file = folder / ("orvalt-report-" + uuid + ".html");
    const Result<void> written = WriteRunReportFile(**opened, uuid, file);
    return written ? Report{file, {}} : Report{{}, written.Error()};
}

Result<std::vector<HistoryRow>> StationRecording::RunsOfUnit(const std::string& serial) {
    {
        // A server the records can't reach would hold Start for its whole
        // connect timeout, at every unit.
        std::scoped_lock lock(healthMutex_);
        if (unreachable_) {
            return Fail("the results database is not reachable");
        }
    }
    Flush();
    const Result<std::unique_ptr<SqlConnection>> opened = OpenRecordsToRead(database_);
    if (!opened) {
        return Fail(opened.Error());
    }
    if (!*opened) {
        return std::vector<HistoryRow>{};
    }
    RunFilter filter;
    filter.serial = serial;
    return QueryHistory(**opened, filter);
}

void FinishedRunWatch::RunEnded(int /*runNumber*/, RunEnd /*how*/) {
    std::string uuid = recorder_.LastRunUuid();
    std::scoped_lock lock(mutex_);
    uuid_ = std::move(uuid);
}

std::string FinishedRunWatch::Uuid() const {
    std::scoped_lock lock(mutex_);
    return uuid_;
}

// Before the recorder's writer touches the spool: what an earlier version
// spooled under the former name joins it, and the operator learns what waits.
void StationRecording::LookAtSpool(const std::filesystem::path& spool, bool defaultSpool) {
    if (defaultSpool) {
        const std::filesystem::path earlier = EarlierResultsSpool(database_);
        if (const Result<void> adopted = AdoptEarlierSpool(earlier, spool); !adopted) {
            NoteHealth(false, "The runs spooled in " + earlier.string() +
                                  " stay there: " + adopted.Error());
        }
    }
    const Result<std::int64_t> waiting = SpooledRunCount(spool);
    if (!waiting) {
        NoteHealth(false, waiting.Error());
    } else if (*waiting > 0) {
        NoteHealth(false, SpoolWaitingText(*waiting, spool, database_));
    }
}

std::filesystem::path StationRecording::ReportFolder() {
    const std::filesystem::path data = StationDataFolder();
    return data.empty() ? std::filesystem::path() : data / "Reports";
}

std::vector<RecordingHealth> StationRecording::TakeHealth() {
    std::scoped_lock lock(healthMutex_);
    return std::exchange(health_, {});
}

void StationRecording::NoteHealth(bool reachable, const std::string& message) {
    std::scoped_lock lock(healthMutex_);
    health_.push_back({reachable, message});
}

}  // namespace orvalt
