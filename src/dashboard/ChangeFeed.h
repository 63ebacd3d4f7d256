#pragma once
// The line as every open page shows it, kept up to date by one thread: it asks
// the records for their change mark twice a second and reads the line once for
// every page when the mark moves, and again when a fixture turns, a day starts
// or an alarm's judgement comes due. More: docs/design/change-feed.md.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "base/Result.h"
#include "dashboard/DashboardLog.h"
#include "domain/IsoTime.h"
#include "lineview/LineChangeMark.h"
#include "lineview/LineView.h"
#include "records/RecordsFile.h"
#include "records/SqlConnection.h"
#include "spc/OpenAlarms.h"

namespace orvalt {

// What the pages show, at one generation.
struct LineState {
    std::uint64_t generation = 0;
    // Empty while nothing is recorded (no file, no schema yet).
    std::shared_ptr<const LineView> view;
    bool away = false;  // the database can't be read now
    // When the database's file was last found replaced (UTC, ISO 8601);
    // empty while it never was.
    std::string replacedAt;
    bool stopping = false;
};

struct ChangeFeedReading {
    // Opens the feed's own connection; an empty one while nothing is recorded.
    std::function<Result<std::unique_ptr<SqlConnection>>()> open;
    // The moment the line is read for (now, today's start, the look-backs).
    std::function<LineMoment()> moment;
    // Whether a page would show the two views alike.
    std::function<bool(const LineView&, const LineView&)> samePage;
    std::chrono::milliseconds poll{500};
    // The view is read at most this often, however often the line changes:
    // a line recording flat out costs the database a bounded share, and a
    // change still shows within a second of it.
    std::chrono::milliseconds readSpacing{1000};
    std::chrono::milliseconds rereadEvery{std::chrono::seconds(30)};
    AlarmJudging alarmJudging;
    // The database in words for the log (never a password).
    std::string shown;
    // What stands at a SQLite file's path; unset for a server.
    std::function<RecordsFileMark()> fileMark;
    // Lets go every other connection to the file once it was replaced.
    std::function<void()> replaced;
};

class ChangeFeed {
  public:
    ChangeFeed(ChangeFeedReading reading, DashboardLog& log);
    ~ChangeFeed();
    ChangeFeed(const ChangeFeed&) = delete;
    ChangeFeed& operator=(const ChangeFeed&) = delete;

    // The first read, before the thread starts: why not, when the database
    // can't be read (nothing recorded yet is no failure).
    Result<void> ReadFirst();
    void Start();
    // Wakes every waiter and ends the thread; idempotent.
    void Stop();

    LineState State() const;
    // The state once its generation, or whether the database is away, differs
    // from the one given, or the feed stops; at most after `timeout`.
    LineState WaitPast(std::uint64_t generation, bool away,
                       std::chrono::milliseconds timeout) const;

  private:
    void Run();
    void Poll();
    Result<void> Open();
    void NoticeReplacement();
    void ShowNothingRecorded();
    Result<void> ReadLine(bool forced);
    bool AlarmsDue(std::chrono::steady_clock::time_point now) const;
    void Publish(std::shared_ptr<const LineView> view, bool changed);
    void NoteAway(const std::string& why);
    void NoteBack();
    LineState StateLocked() const;

    ChangeFeedReading reading_;
    DashboardLog& log_;
    // The thread's own.
    std::unique_ptr<SqlConnection> connection_;
    LineRunsReader runs_;      // the feed thread's own
    OpenAlarmsReader alarms_;  // the feed thread's own
    std::optional<std::string> mark_;
    std::chrono::steady_clock::time_point lastRead_;
    std::optional<UtcMilliseconds> recheckAt_;  // when a fixture testing turns not seen
    std::optional<RecordsFileMark> openedOn_;   // what stood at the file's path at opening

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::uint64_t generation_ = 0;
    std::shared_ptr<const LineView> view_;
    bool away_ = false;
    std::string replacedAt_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace orvalt
