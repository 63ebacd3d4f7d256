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
#include "lookback/LineParts.h"
#include "lookback/ModelMovement.h"

namespace orvalt {

// Each series (model, test, measurement) with an alarm raised since `since`
// (the records' form), judged as `orvalt-cli spc` judges it over the model's
// recent runs, with the model's first units as its baseline (a baseline
// frozen at a station is in that station's settings, not in the records);
// kept when its newest unit is one of a rule hit. Newest alarm first.
Result<std::vector<OpenAlarm>> LoadOpenAlarms(SqlConnection& connection, const std::string& since);

// The same, read again and again for one viewer: a series is judged again
// only when its alarms changed or its model's runs moved since the last read
// (ModelMovement), so a line that records flat out costs the records a
// judgement per model that recorded, not one per alarmed series at every
// change. Every series is judged again at least every `judgeAllEvery`, which
// also catches a run whose key the database gave out before a newer one's
// but made visible after it.
class OpenAlarmsReader {
  public:
    explicit OpenAlarmsReader(std::chrono::seconds judgeAllEvery = std::chrono::seconds(30));

    Result<std::vector<OpenAlarm>> Read(SqlConnection& connection, const std::string& since);
    // The next read judges every series (another connection, maybe another
    // database).
    void Forget();

  private:
    using MeasurementKey = std::pair<std::string, std::string>;  // model, measurement
    struct Judged {
        std::vector<OpenAlarm> alarms;  // each series' newest alarm, as read
        std::vector<OpenAlarm> open;    // those that hold, judged
    };

    Result<std::vector<OpenAlarm>> ReadMoved(SqlConnection& connection, const std::string& since);

    std::chrono::seconds judgeAllEvery_;
    std::optional<std::chrono::steady_clock::time_point> judgedAllAt_;
    ModelMovement movement_;
    std::map<MeasurementKey, Judged> judged_;
};

}  // namespace orvalt
