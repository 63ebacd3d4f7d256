#pragma once
// The end-of-run drift check: the unit a run just measured, held against its
// model's recorded series on its own station and fixture (or, pooled, on
// every station). Each figure of the run's completed tests is one series'
// newest point; the baseline an engineer froze for the series, or
// else the first kBaselineUnits units of the model recorded, give the series
// its centre and sigma, and the units recorded last before
// this one complete the rules' window. A rule the newest point breaks, that
// does not merely go on from the unit before, is an alarm.
//
// The run's own figures are the ones the station computed as its tests ended,
// never read back: its record may not have landed yet, and if it has, it is
// left out of what is read, so the unit is counted once. The same holds for
// the units this station tested just before: the records are written behind
// the runs, so the station's own recent units are given to the check as it
// knows them, and each takes its place in the window by when its run started,
// landed or not.

#include <atomic>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/Result.h"
#include "domain/NamedMeasurements.h"
#include "drift/ControlRules.h"
#include "lookback/Spc.h"
#include "records/SqlConnection.h"

namespace orvalt {

// One figure of the run's unit, with the test that gave it.
struct UnitFigure {
    int testIndex = 0;  // 0-based row of the plan
    NamedMeasurement figure;
};

// The unit a run measured, as the station knows it when the run ends.
struct FinishedUnit {
    std::string model;  // from the run's unit description
    std::string runUuid;
    std::string startedAt;            // as the records keep a run's start
    std::vector<UnitFigure> figures;  // of its completed tests
    // Where it was tested: its series are that station's and fixture's runs
    // of the model; none: the model's runs on every station (pooled).
    std::optional<DriftStation> station{};
};

struct DriftAlarm {
    int testIndex = 0;
    std::string measurement;
    std::string series;  // as SeriesName names it
    RuleHit hit;
    // "Drift: TimeToOffA on X100: 8 units in a row above the centre (rule 4)"
    std::string line;
};

struct DriftCheckResult {
    // Empty when the check ran; otherwise why there was none.
    std::string notChecked;
    std::size_t seriesChecked = 0;
    std::vector<DriftAlarm> alarms;
};

// Checks `unit` against the records `db` holds of its model, each series
// against the baseline an engineer froze for it when there is one (`frozen`).
// `recent`: the units this station tested before it, oldest first; each
// stands in for its run's record in the rules' window. `stop`, when set, ends
// the check between its reads (then nothing is checked).
Result<DriftCheckResult> CheckFinishedUnit(SqlConnection& db, const FinishedUnit& unit,
                                           std::span<const FinishedUnit> recent = {},
                                           const FrozenLookup& frozen = {},
                                           const std::atomic<bool>* stop = nullptr);

// The line an alarm is shown and kept with.
std::string DriftAlarmLine(const std::string& series, const std::string& model, const RuleHit& hit);

// "above" or "below", as the records keep a side.
const char* DriftSideWord(DriftSide side);

}  // namespace orvalt
