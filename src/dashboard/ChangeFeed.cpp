#include "dashboard/ChangeFeed.h"

#include <utility>

#include "domain/PrintableText.h"
#include "platform/UtcTime.h"

namespace orvalt {

ChangeFeed::ChangeFeed(ChangeFeedReading reading, DashboardLog& log)
    : reading_(std::move(reading)), log_(log), alarms_(reading_.alarmJudging) {}

ChangeFeed::~ChangeFeed() {
    Stop();
}

Result<void> ChangeFeed::ReadFirst() {
    if (const Result<void> opened = Open(); !opened) {
        return opened;
    }
    if (!connection_) {
        return {};
    }
    return ReadLine(true);
}

// What stands at the path is looked at before the file is opened: a file put
// there in between is then found replaced at the next poll and opened
// again, rather than read unnoticed.
Result<void> ChangeFeed::Open() {
    if (reading_.fileMark) {
        openedOn_ = reading_.fileMark();
    }
    Result<std::unique_ptr<SqlConnection>> opened = reading_.open();
    if (!opened) {
        return Fail(opened.Error());
    }
    connection_ = std::move(opened).Value();
    return {};
}

void ChangeFeed::Start() {
    thread_ = std::thread([this] { Run(); });
}

void ChangeFeed::Stop() {
    {
        const std::scoped_lock lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

LineState ChangeFeed::State() const {
    const std::scoped_lock lock(mutex_);
    return StateLocked();
}

LineState ChangeFeed::WaitPast(std::uint64_t generation, bool away,
                               std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout,
                      [&] { return stopping_ || generation_ != generation || away_ != away; });
    return StateLocked();
}

LineState ChangeFeed::StateLocked() const {
    return LineState{generation_, view_, away_, replacedAt_, stopping_};
}

void ChangeFeed::Run() {
    std::unique_lock lock(mutex_);
    while (!changed_.wait_for(lock, reading_.poll, [this] { return stopping_; })) {
        lock.unlock();
        Poll();
        lock.lock();
    }
}

void ChangeFeed::Poll() {
    NoticeReplacement();
    if (!connection_) {
        if (const Result<void> opened = Open(); !opened) {
            NoteAway(opened.Error());
            return;
        }
        if (!connection_) {
            NoteBack();  // reachable, and still nothing recorded
            ShowNothingRecorded();
            return;
        }
        mark_.reset();
        runs_.Forget();
        alarms_.Forget();
    }
    const bool wasAway = State().away;
    const Result<void> read = ReadLine(wasAway);
    if (!read) {
        connection_.reset();
        NoteAway(read.Error());
        return;
    }
    NoteBack();
}

// A SQLite file read through a connection kept open stays the file it was,
// even once it was moved away and another put at its path, removed, or
// overwritten with what is no SQLite database: so what stands at its path is
// looked at on each poll, and when it changed every connection lets the old
// file go, the next open reads what stands there now, and the log and the
// pages say so.
void ChangeFeed::NoticeReplacement() {
    if (!connection_ || !openedOn_ || !reading_.fileMark) {
        return;
    }
    const RecordsFileMark now = reading_.fileMark();
    if (openedOn_->identity.kind == FileIdentity::Kind::Missing) {
        openedOn_ = now;  // the first station made it as it was opened
        return;
    }
    const std::string how = MarkChange(*openedOn_, now);
    if (how.empty()) {
        return;
    }
    connection_.reset();
    if (reading_.replaced) {
        reading_.replaced();
    }
    {
        const std::scoped_lock lock(mutex_);
        replacedAt_ = UtcIsoTime(std::chrono::system_clock::now());
        ++generation_;
    }
    log_.Say("the results database " + reading_.shown +
             " was replaced under the dashboard: " + PrintableText(how, kMessageShownMax) +
             "; the pages show what stands at its path from now on");
    changed_.notify_all();
}

// The runs of a file that is gone are no longer the line's.
void ChangeFeed::ShowNothingRecorded() {
    {
        const std::scoped_lock lock(mutex_);
        if (!view_) {
            return;
        }
        view_.reset();
        ++generation_;
    }
    changed_.notify_all();
}

// Reads the mark, and the line when the mark moved or it is time to.
Result<void> ChangeFeed::ReadLine(bool forced) {
    const Result<std::string> mark = LineChangeMark(*connection_);
    if (!mark) {
        return Fail(mark.Error());
    }
    const bool changed = !mark_ || *mark_ != *mark;
    const auto now = std::chrono::steady_clock::now();
    const bool turns =
        (recheckAt_ && std::chrono::system_clock::now() >= *recheckAt_) || AlarmsDue(now);
    if (!changed && !forced && !turns && now - lastRead_ < reading_.rereadEvery) {
        return {};
    }
    // The mark is kept as it was read last, so a change left for now is
    // seen again at the next poll.
    if (!forced && now - lastRead_ < reading_.readSpacing) {
        return {};
    }
    Result<LineView> view = LoadLineView(*connection_, reading_.moment(), runs_, alarms_);
    if (!view) {
        return Fail(view.Error());
    }
    mark_ = *mark;
    lastRead_ = now;
    recheckAt_ = ParseUtcIsoTime(view->recheckAt);
    Publish(std::make_shared<const LineView>(std::move(view).Value()), changed || forced);
    return {};
}

// An alarm's judgement held back while its model recorded is due: the line
// is read then even when nothing changes on it any more.
bool ChangeFeed::AlarmsDue(std::chrono::steady_clock::time_point now) const {
    const auto due = alarms_.HeldBackUntil();
    return due && now >= *due;
}

// Only this thread replaces the view, so the one shown can be compared with
// the new one outside the lock.
void ChangeFeed::Publish(std::shared_ptr<const LineView> view, bool changed) {
    const std::shared_ptr<const LineView> shown = State().view;
    const bool shownAlike = !changed && shown && reading_.samePage(*shown, *view);
    {
        const std::scoped_lock lock(mutex_);
        view_ = std::move(view);
        if (shownAlike) {
            return;
        }
        ++generation_;
    }
    changed_.notify_all();
}

void ChangeFeed::NoteAway(const std::string& why) {
    {
        const std::scoped_lock lock(mutex_);
        if (away_) {
            return;
        }
        away_ = true;
    }
    log_.Say("the results database " + reading_.shown +
             " can't be read; the pages show what it said last: " +
             PrintableText(why, kMessageShownMax));
    changed_.notify_all();
}

void ChangeFeed::NoteBack() {
    {
        const std::scoped_lock lock(mutex_);
        if (!away_) {
            return;
        }
        away_ = false;
    }
    log_.Say("the results database " + reading_.shown + " can be read again");
    changed_.notify_all();
}

}  // namespace orvalt
