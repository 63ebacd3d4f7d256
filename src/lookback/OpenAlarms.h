#pragma once
// The drift alarms that still hold: series that alarmed lately and whose
// newest unit still breaks a control-chart rule.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "base/Result.h"
#include "drift/Baseline.h"
#include "lookback/DriftSeries.h"
#include "lookback/LineParts.h"
#include "lookback/ModelMovement.h"

namespace orvalt {

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

using SeriesKey = std::tuple<std::string, std::optional<DriftStation>, int, std::string>;
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
    using MeasurementKey = std::tuple<std::string, std::optional<DriftStation>, std::string>;
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
