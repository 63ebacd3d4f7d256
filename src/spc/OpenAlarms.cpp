#include "spc/OpenAlarms.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <tuple>

#include "spc/ControlRules.h"
#include "spc/Spc.h"

namespace orvalt {

namespace {

// The newest unit's hits depend on the units a rule looks back over and on
// whether the unit before broke the same rule: that many points of a series
// judge its newest unit as the whole series would. They are looked for in
// the model's newest runs, in a window that widens while a series is short
// of them (runs that did not complete its test) and the model has more runs.
constexpr std::size_t kPointsJudged = kRuleWindowUnits + 1;
constexpr std::size_t kRunsFirstRead = 20;
constexpr std::size_t kRunsReadAtMost = 1280;

// The alarms are read whole (no index by when they were raised): they are
// few beside the runs, and their acknowledgements fewer.
constexpr const char* kAlarmsSql =
    "SELECT r.model, a.test_index, a.measurement, a.rule, a.side, a.text, a.raised_at,"
    " r.serial, r.run_uuid, r.host, r.fixture, a.pooled,"
    " CASE WHEN EXISTS (SELECT 1 FROM alarm_acks c WHERE c.run_id = a.run_id"
    " AND c.test_index = a.test_index AND c.measurement = a.measurement AND c.rule = a.rule)"
    " THEN 1 ELSE 0 END FROM alarms a JOIN run_keys k ON k.run_id = a.run_id"
    " JOIN runs r ON r.run_uuid = k.run_uuid WHERE a.raised_at >= $1";

std::optional<SeriesStation> StationOf(const OpenAlarm& alarm) {
    return alarm.pooled ? std::nullopt : std::optional(SeriesStation{alarm.host, alarm.fixture});
}

OpenAlarm AlarmOf(const SqlRow& row) {
    OpenAlarm alarm;
    alarm.model = CellText(row[0]);
    alarm.testIndex = static_cast<int>(CellInteger(row[1]));
    alarm.measurement = CellText(row[2]);
    alarm.rule = static_cast<int>(CellInteger(row[3]));
    alarm.side = CellText(row[4]);
    alarm.text = CellText(row[5]);
    alarm.raisedAt = CellText(row[6]);
    alarm.serial = CellText(row[7]);
    alarm.runUuid = CellText(row[8]);
    alarm.host = CellText(row[9]);
    alarm.fixture = CellText(row[10]);
    alarm.pooled = row[11] && CellInteger(row[11]) != 0;
    return alarm;
}

bool RaisedLater(const OpenAlarm& a, const OpenAlarm& b) {
    return std::tie(a.raisedAt, a.runUuid, a.rule) > std::tie(b.raisedAt, b.runUuid, b.rule);
}

// The newest alarm of each series, with how many it raised; a series whose
// newest alarm is acknowledged is left out.
Result<std::map<SeriesKey, OpenAlarm>> NewestAlarms(SqlConnection& connection,
                                                    const std::string& since) {
    std::map<SeriesKey, OpenAlarm> newest;
    std::set<SeriesKey> acknowledged;  // their newest alarm, as read so far
    const Result<void> read = connection.RunRowByRow(kAlarmsSql, {since}, [&](SqlRow row) {
        OpenAlarm alarm = AlarmOf(row);
        const bool acked = CellInteger(row[12]) != 0;
        const SeriesKey key{alarm.model, StationOf(alarm), alarm.testIndex, alarm.measurement};
        auto [found, added] = newest.emplace(key, alarm);
        const std::int64_t count = added ? 1 : found->second.alarmsLately + 1;
        if (added || RaisedLater(alarm, found->second)) {
            found->second = std::move(alarm);
            acked ? static_cast<void>(acknowledged.insert(key))
                  : static_cast<void>(acknowledged.erase(key));
        }
        found->second.alarmsLately = count;
    });
    if (!read) {
        return Fail(read.Error());
    }
    for (const SeriesKey& key : acknowledged) {
        newest.erase(key);
    }
    return newest;
}

std::size_t PointsOfTest(const std::vector<MeasuredSeries>& all, int testIndex) {
    const auto series = std::find_if(
        all.begin(), all.end(), [&](const MeasuredSeries& one) { return one.testIndex == testIndex; });
    return series == all.end() ? 0 : series->points.size();
}

std::size_t PointsOfAll(const std::vector<MeasuredSeries>& all) {
    std::size_t points = 0;
    for (const MeasuredSeries& series : all) {
        points += series.points.size();
    }
    return points;
}

// The model's series of one measurement over its newest runs, enough of them
// for each of the tests to be judged.
Result<std::vector<MeasuredSeries>> RecentSeries(SqlConnection& connection, const std::string& model,
                                              const std::optional<SeriesStation>& station,
                                              const std::string& measurement,
                                              const std::vector<OpenAlarm*>& alarms) {
    std::optional<std::vector<MeasuredSeries>> read;
    for (std::size_t runs = kRunsFirstRead;; runs *= 4) {
        const SeriesQuery query{model, measurement, {std::nullopt, runs, std::nullopt},
                               false, true,        station};
        Result<std::vector<MeasuredSeries>> found = LoadMeasuredSeries(connection, query);
        if (!found) {
            return Fail(found.Error());
        }
        const bool nothingMore = read && PointsOfAll(*found) <= PointsOfAll(*read);
        read = std::move(found).Value();
        const bool enough = std::all_of(alarms.begin(), alarms.end(), [&](const OpenAlarm* one) {
            return PointsOfTest(*read, one->testIndex) >= kPointsJudged;
        });
        if (enough || nothingMore || runs >= kRunsReadAtMost) {
            return std::move(*read);
        }
    }
}

// The series' baseline from the model's first units, kept once it has all
// of them: a judgement then reads only the recent runs. Finding a series'
// first units walks the model's runs from its oldest on, a long walk where
// the measurement came in with a later plan.
Result<std::optional<Baseline>> KeptFirstUnitsBaseline(SqlConnection& connection,
                                                       const std::string& model,
                                                       const std::optional<SeriesStation>& station,
                                                       const MeasuredSeries& series,
                                                       KeptBaselines& kept) {
    const SeriesKey key{model, station, series.testIndex, series.measurement};
    if (const auto found = kept.find(key); found != kept.end()) {
        return std::optional(found->second);
    }
    Result<std::optional<Baseline>> baseline =
        FirstUnitsBaseline(connection, model, series, station);
    if (baseline && *baseline) {
        kept.emplace(key, **baseline);
    }
    return baseline;
}

// The series as spc judges it, when its newest unit is one of a rule hit:
// its name and that unit's first hit are added to `alarm`. False when it
// holds no longer (or the recent runs hold no such series).
Result<bool> StillBreaks(SqlConnection& connection, std::vector<MeasuredSeries>& recent,
                         OpenAlarm& alarm, KeptBaselines& baselines) {
    const auto series = std::find_if(recent.begin(), recent.end(), [&](const MeasuredSeries& one) {
        return one.testIndex == alarm.testIndex;
    });
    if (series == recent.end() || series->points.empty()) {
        return false;
    }
    const Result<std::optional<Baseline>> baseline =
        KeptFirstUnitsBaseline(connection, alarm.model, StationOf(alarm), *series, baselines);
    if (!baseline) {
        return Fail(baseline.Error());
    }
    const JudgedSeries judged = JudgeSeriesAgainst(*series, SeriesName(*series, recent), *baseline);
    const std::size_t newestUnit = judged.series.points.size() - 1;
    const auto hit = std::find_if(judged.hits.begin(), judged.hits.end(),
                                  [&](const RuleHit& one) { return one.unit == newestUnit; });
    if (hit == judged.hits.end()) {
        return false;
    }
    alarm.series = judged.name;
    alarm.newestSerial = judged.series.points[newestUnit].run->serial;
    alarm.newestBreaks = RuleHitText(*hit);
    return true;
}

// The alarms of each model's measurement judged over one read of its series.
Result<void> KeepThoseThatHold(SqlConnection& connection, const std::string& model,
                               const std::optional<SeriesStation>& station,
                               const std::string& measurement,
                               const std::vector<OpenAlarm*>& alarms, std::vector<OpenAlarm>& open,
                               KeptBaselines& baselines) {
    Result<std::vector<MeasuredSeries>> recent =
        RecentSeries(connection, model, station, measurement, alarms);
    if (!recent) {
        return Fail(recent.Error());
    }
    for (OpenAlarm* alarm : alarms) {
        const Result<bool> still = StillBreaks(connection, *recent, *alarm, baselines);
        if (!still) {
            return Fail(still.Error());
        }
        if (*still) {
            open.push_back(std::move(*alarm));
        }
    }
    return {};
}

// The alarms as read from the records, before judging adds to them.
bool SameAlarms(const std::vector<OpenAlarm>& a, const std::vector<OpenAlarm>& b) {
    const auto read = [](const OpenAlarm& alarm) {
        return std::tie(alarm.testIndex, alarm.rule, alarm.side, alarm.text, alarm.raisedAt,
                        alarm.serial, alarm.runUuid, alarm.alarmsLately, alarm.host, alarm.fixture,
                        alarm.pooled);
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](const OpenAlarm& x, const OpenAlarm& y) { return read(x) == read(y); });
}

}  // namespace

std::string AlarmStationText(const OpenAlarm& alarm) {
    if (alarm.pooled) {
        return "every station (pooled)";
    }
    return alarm.fixture.empty() ? alarm.host : alarm.host + " / " + alarm.fixture;
}

Result<std::vector<OpenAlarm>> LoadOpenAlarms(SqlConnection& connection, const std::string& since) {
    return OpenAlarmsReader().Read(connection, since);
}

OpenAlarmsReader::OpenAlarmsReader(AlarmJudging judging) : judging_(judging) {}

Result<std::vector<OpenAlarm>> OpenAlarmsReader::Read(SqlConnection& connection,
                                                      const std::string& since) {
    return Read(connection, since, Clock::now());
}

Result<std::vector<OpenAlarm>> OpenAlarmsReader::Read(SqlConnection& connection,
                                                      const std::string& since,
                                                      Clock::time_point now) {
    // Every series is judged anew; what moved is still told against the
    // last read, which the records have not changed.
    if (!judgedAllAt_ || now - *judgedAllAt_ >= judging_.allEvery) {
        ForgetJudgements();
        judgedAllAt_ = now;
    }
    Result<std::vector<OpenAlarm>> open = ReadMoved(connection, since, now);
    if (!open) {
        // What moved was read, but not judged: nothing judged before holds.
        Forget();
    }
    return open;
}

void OpenAlarmsReader::Forget() {
    movement_.Forget();
    ForgetJudgements();
}

void OpenAlarmsReader::ForgetJudgements() {
    judged_.clear();
    baselines_.clear();
}

std::optional<OpenAlarmsReader::Clock::time_point> OpenAlarmsReader::HeldBackUntil() const {
    std::optional<Clock::time_point> due;
    for (const auto& [measurement, judged] : judged_) {
        if (judged.movedSince) {
            const Clock::time_point at = judged.judgedAt + judging_.movedEvery;
            due = due ? std::min(*due, at) : at;
        }
    }
    return due;
}

Result<std::vector<OpenAlarm>> OpenAlarmsReader::ReadMoved(SqlConnection& connection,
                                                           const std::string& since,
                                                           Clock::time_point now) {
    // What moved is read before the alarms and the series, so that a run
    // recorded in between is judged now or counted as moved at the next read.
    const Result<MovedModels> moved = movement_.Since(connection, now);
    if (!moved) {
        return Fail(moved.Error());
    }
    Result<std::map<SeriesKey, OpenAlarm>> newest = NewestAlarms(connection, since);
    if (!newest) {
        return Fail(newest.Error());
    }
    std::map<MeasurementKey, std::vector<OpenAlarm*>> byMeasurement;
    for (auto& [key, alarm] : *newest) {
        byMeasurement[{alarm.model, StationOf(alarm), alarm.measurement}].push_back(&alarm);
    }
    std::map<MeasurementKey, Judged> judged;
    std::vector<OpenAlarm> open;
    for (const auto& [measurement, alarms] : byMeasurement) {
        Judged current;
        for (const OpenAlarm* alarm : alarms) {
            current.alarms.push_back(*alarm);
        }
        const auto before = judged_.find(measurement);
        const bool known = before != judged_.end();
        const std::string& model = std::get<0>(measurement);
        const bool movedSince = known && (before->second.movedSince || moved->Moved(model) ||
                                          !SameAlarms(before->second.alarms, current.alarms));
        if (known && (!movedSince || now - before->second.judgedAt < judging_.movedEvery)) {
            // Shown as judged last until the judgement is due, but for a
            // series whose alarm was acknowledged since.
            std::vector<OpenAlarm> alarmsNow = std::move(current.alarms);
            current = std::move(before->second);
            current.movedSince = movedSince;
            std::erase_if(current.open, [&](const OpenAlarm& open) {
                return std::none_of(alarmsNow.begin(), alarmsNow.end(), [&](const OpenAlarm& now) {
                    return now.testIndex == open.testIndex;
                });
            });
        } else {
            const Result<void> held =
                KeepThoseThatHold(connection, model, std::get<1>(measurement),
                                  std::get<2>(measurement), alarms, current.open, baselines_);
            if (!held) {
                return Fail(held.Error());
            }
            current.judgedAt = now;
        }
        open.insert(open.end(), current.open.begin(), current.open.end());
        judged.emplace(measurement, std::move(current));
    }
    judged_ = std::move(judged);
    std::stable_sort(open.begin(), open.end(), RaisedLater);
    return open;
}

}  // namespace orvalt
