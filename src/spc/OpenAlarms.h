#pragma once
// The drift alarms that still hold: series that alarmed lately and whose
// newest unit still breaks a control-chart rule.

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "base/Result.h"
#include "reading/ModelMovement.h"
#include "spc/Baseline.h"
#include "spc/MeasuredSeries.h"

namespace orvalt {

// A series that alarmed since a moment (the line's LineMoment::alarmsSince),
// whose newest alarm no one acknowledged and whose newest unit still breaks a
// control-chart rule as `orvalt-cli spc` judges it, with the series' first units as baseline (a
// baseline frozen at a station is kept in that station's settings, not in the
// records); with the newest alarm it raised. A series is the model's units on
// the station (host) and fixture that raised it, or on every station when
// the alarm was raised pooled.
struct OpenAlarm {
    std::string model, series;  // series: SeriesName ("TimeToOffA", "V4 of test 2")
    std::string host, fixture;  // of the run that raised it
    bool pooled = false;
    int testIndex = 0;
    std::string measurement;
    int rule = 0;
    std::string side;  // "above" or "below"
    std::string text;  // the newest alarm's line as the station showed it
    std::string raisedAt, serial, runUuid;
    std::int64_t alarmsLately = 0;  // alarms of the series within the look-back
    // The series' newest unit, which still breaks a rule, and the first rule
    // it breaks as spc says it ("8 units in a row above the centre (rule 4)").
    std::string newestSerial;
    std::string newestBreaks;
};

// Each series (model, station and fixture unless pooled, test, measurement)
// with an alarm raised since `since` (the records' form) whose newest alarm is
// not acknowledged, judged as `orvalt-cli spc` judges it over the series'
// recent runs, with its first units as its baseline (a baseline frozen at a
// station is in that station's settings, not in the records); kept when its
// newest unit is one of a rule hit. Newest alarm first.
Result<std::vector<OpenAlarm>> LoadOpenAlarms(SqlConnection& connection, const std::string& since);

// model, station (none: pooled), test, measurement
// Where the alarm's series was tested: "host / fixture", the host of a
// station without fixtures, or "every station (pooled)".
std::string AlarmStationText(const OpenAlarm& alarm);

using SeriesKey = std::tuple<std::string, std::optional<SeriesStation>, int, std::string>;
// Each series' baseline from its model's first units, once it has them all.
using KeptBaselines = std::map<SeriesKey, Baseline>;

// How often a reader that keeps its judgements judges a series again.
struct AlarmJudging {
    // A series whose model's runs moved, or that alarmed again, is judged
    // again at most this often: an alarm that no longer holds leaves the
    // page, and a further alarm of a series shows, that much later at most,
    // while a model recording flat out (its stations alarming as they go)
    // costs the records one judgement of its series in this time, not one
    // at every change of the line. A series that alarms for the first time
    // is judged at once.
    std::chrono::seconds movedEvery{10};
    // Every series, moved or not, and its baseline read anew: this also
    // catches a run whose key the database gave out before a newer one's but
    // made visible after it, and a run among a model's first units that
    // completes its test or reaches the records late.
    std::chrono::seconds allEvery{30};
};

// The same, read again and again for one viewer: a series is judged when it
// first alarms, and again when its model's runs moved since the last read
// (ModelMovement) or its alarms changed, once its judgement is `movedEvery`
// old.
class OpenAlarmsReader {
  public:
    using Clock = std::chrono::steady_clock;

    explicit OpenAlarmsReader(AlarmJudging judging = {});

    Result<std::vector<OpenAlarm>> Read(SqlConnection& connection, const std::string& since);
    Result<std::vector<OpenAlarm>> Read(SqlConnection& connection, const std::string& since,
                                        Clock::time_point now);
    // The next read judges every series (another connection, maybe another
    // database).
    void Forget();
    // When the oldest judgement held back for its model's movement is due:
    // a read then shows the series as the records hold it, even when nothing
    // changes on the line any more.
    std::optional<Clock::time_point> HeldBackUntil() const;

  private:
    // model, station (none: pooled), measurement
    using MeasurementKey = std::tuple<std::string, std::optional<SeriesStation>, std::string>;
    struct Judged {
        std::vector<OpenAlarm> alarms;  // each series' newest alarm, as read
        std::vector<OpenAlarm> open;    // those that hold, judged
        Clock::time_point judgedAt;
        bool movedSince = false;  // its runs moved, or it alarmed, after judgedAt
    };

    void ForgetJudgements();
    Result<std::vector<OpenAlarm>> ReadMoved(SqlConnection& connection, const std::string& since,
                                             Clock::time_point now);

    AlarmJudging judging_;
    std::optional<Clock::time_point> judgedAllAt_;
    ModelMovement movement_;
    std::map<MeasurementKey, Judged> judged_;
    KeptBaselines baselines_;
};

}  // namespace orvalt
