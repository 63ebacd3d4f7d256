#include "spc/SpcWatch.h"

#include <span>
#include <utility>

#include "config/RegistryStore.h"
#include "platform/HostIdentity.h"
#include "platform/UtcTime.h"
#include "records/RecordsToRead.h"
#include "spc/ControlRules.h"
#include "spc/BaselineSetting.h"

namespace orvalt {

SpcWatch::SpcWatch(std::string database, std::filesystem::path settingsFile,
                       std::string fixture, RunRecorder& recorder, WindowHandle post)
    : database_(std::move(database)),
      settingsFile_(std::move(settingsFile)),
      station_{StationHostName(), std::move(fixture)},
      recorder_(recorder),
      post_(std::move(post)),
      checker_([this] { CheckerLoop(); }) {}

SpcWatch::~SpcWatch() {
    {
        std::scoped_lock lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    checker_.join();
}

void SpcWatch::Prepare(std::string model) {
    std::scoped_lock lock(mutex_);
    preparedModel_ = std::move(model);
}

bool SpcWatch::WaitUntilChecked(std::chrono::milliseconds most) {
    std::unique_lock lock(mutex_);
    return checked_.wait_for(lock, most, [this] { return done_ == ended_; });
}

// Stamped as the recorder stamps the run, just before: the unit's place among
// the recorded runs when its own record has not landed.
void SpcWatch::RunStarted(int /*runNumber*/) {
    std::scoped_lock lock(mutex_);
    running_ = FinishedUnit{preparedModel_, {}, UtcIsoNow(), {}, station_};
}

// The figures exactly as the station computed them as the test ended.
void SpcWatch::TestEnded(const TestEnd& test) {
    if (!test.completed) {
        return;
    }
    for (const NamedMeasurement& figure : test.outcome.measurements) {
        running_.figures.push_back({test.row, figure});
    }
}

// The recorder named the run at its start; only a hand-over to the checker
// happens here, on the worker's thread.
void SpcWatch::RunEnded(int /*runNumber*/, RunEnd /*how*/) {
    running_.runUuid = recorder_.LastRunUuid();
    {
        std::scoped_lock lock(mutex_);
        waiting_.push_back(std::move(running_));
        ++ended_;
    }
    running_ = {};
    wake_.notify_one();
}

void SpcWatch::CheckerLoop() {
    while (true) {
        FinishedUnit unit;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
            if (stopping_) {
                return;
            }
            unit = std::move(waiting_.front());
            waiting_.pop_front();
        }
        SpcCheckedMessage message = Check(unit);
        Keep(std::move(unit));
        if (!stopping_) {
            post_->Post(std::move(message));
        }
        {
            std::scoped_lock lock(mutex_);
            ++done_;
        }
        checked_.notify_all();
    }
}

SpcCheckedMessage SpcWatch::Check(const FinishedUnit& unit) {
    SpcCheckedMessage message{unit.runUuid, {}, {}};
    if (!db_) {
        Result<std::unique_ptr<SqlConnection>> opened = OpenRecordsToRead(database_);
        if (!opened || !*opened) {
            message.notChecked = opened ? std::string(kNoRunRecorded) : opened.Error();
            return message;
        }
        db_ = std::move(opened).Value();
    }
    // Read afresh for each run: an engineer may freeze a baseline with spc
    // while the station runs.
    RegistryStore settings(settingsFile_);
    const FrozenLookup frozen = [&](int testIndex, const std::string& measurement) {
        return FrozenBaselineOf(settings, unit.model, testIndex, measurement);
    };
    const bool pooled = LoadDriftPooled(settings);
    FinishedUnit judged = unit;
    if (pooled) {
        judged.station.reset();
    }
    const auto recent = recent_.find(unit.model);
    const Result<SpcCheckResult> result =
        CheckFinishedUnit(*db_, judged,
                          recent == recent_.end() ? std::span<const FinishedUnit>{}
                                                  : std::span<const FinishedUnit>(recent->second),
                          frozen, &stopping_);
    if (!result) {
        db_.reset();  // opened again for the next run: the server may be back
        message.notChecked = result.Error();
        return message;
    }
    Record(unit, *result, pooled);
    message.notChecked = result->notChecked;
    for (const Alarm& alarm : result->alarms) {
        message.alarms.push_back(alarm.line);
    }
    return message;
}

void SpcWatch::Record(const FinishedUnit& unit, const SpcCheckResult& result, bool pooled) {
    for (const Alarm& alarm : result.alarms) {
        recorder_.RecordAlarm(unit.runUuid, {alarm.testIndex,
                                             alarm.measurement,
                                             alarm.hit.rule,
                                             RuleSideWord(alarm.hit.side),
                                             alarm.line,
                                             {},
                                             pooled});
    }
}

// A run that completed no test gives no series a point: it would only push a
// unit that does out of what is kept.
void SpcWatch::Keep(FinishedUnit unit) {
    if (unit.model.empty() || unit.figures.empty()) {
        return;
    }
    std::vector<FinishedUnit>& kept = recent_[unit.model];
    kept.push_back(std::move(unit));
    if (kept.size() > kRuleWindowUnits + 1) {
        kept.erase(kept.begin());
    }
}

}  // namespace orvalt
