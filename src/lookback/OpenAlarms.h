#pragma once
// The drift alarms that still hold: series that alarmed lately and whose
// newest unit still breaks a control-chart rule.

#include <string>
#include <vector>

#include "lookback/LineView.h"

namespace orvalt {

// Each series (model, test, measurement) with an alarm raised since `since`
// (the records' form), judged as `orvalt-cli spc` judges it over the model's
// recent runs, with the model's first units as its baseline (a baseline
// frozen at a station is in that station's settings, not in the records);
// kept when its newest unit is one of a rule hit. Newest alarm first.
Result<std::vector<OpenAlarm>> LoadOpenAlarms(SqlConnection& connection, const std::string& since);

}  // namespace orvalt
