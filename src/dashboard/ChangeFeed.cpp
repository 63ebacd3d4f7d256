#include "dashboard/ChangeFeed.h"

#include <utility>

#include "domain/PrintableText.h"

namespace orvalt {

ChangeFeed::ChangeFeed(ChangeFeedReading reading, DashboardLog& log)
    : reading_(std::move(reading)), log_(log), alarms_(reading_.alarmJudging) {}

ChangeFeed::~ChangeFeed() {
    Stop();
}

Result<void> ChangeFeed::ReadFirst() {
    Result<std::unique_ptr<SqlConnection>> opened = reading_.open();
    if (!opened) {
        return Fail(opened.Error());
    }
    connection_ = std::move(opened).Value();
    if (!connection_) {
        return {};
    }
    return ReadLine(true);
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
    return LineState{generation_, view_, away_, stopping_};
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
    if (!connection_) {
        Result<std::unique_ptr<SqlConnection>> opened = reading_.open();
        if (!opened) {
            NoteAway(opened.Error());
            return;
        }
        connection_ = std::move(opened).Value();
        if (!connection_) {
            NoteBack();  // reachable, and still nothing recorded
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
