#pragma once
// The end-of-run drift check: the unit a run just measured, held against its
// model's recorded series on its own station and fixture (or, pooled, on
// every station). A rule the newest point breaks, that does not merely go on
// from the unit before, is an alarm. The run's own figures, and the units
// this station tested just before, are the station's, never read back: their
// records may not have landed. More: docs/design/spc-watch.md.

#include <atomic>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/Result.h"
#include "domain/NamedMeasurements.h"
#include "records/SqlConnection.h"
#include "spc/ControlRules.h"
#include "spc/Spc.h"

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
    std::optional<SeriesStation> station{};
};

struct Alarm {
    int testIndex = 0;
    std::string measurement;
    std::string series;  // as SeriesName names it
    RuleHit hit;
    // "Drift: TimeToOffA on X100: 8 units in a row above the centre (rule 4)"
    std::string line;
};

struct SpcCheckResult {
    // Empty when the check ran; otherwise why there was none.
    std::string notChecked;
    std::size_t seriesChecked = 0;
    std::vector<Alarm> alarms;
};

// Checks `unit` against the records `db` holds of its model, each series
// against the baseline an engineer froze for it when there is one (`frozen`).
// `recent`: the units this station tested before it, oldest first; each
// stands in for its run's record in the rules' window. `stop`, when set, ends
// the check between its reads (then nothing is checked).
Result<SpcCheckResult> CheckFinishedUnit(SqlConnection& db, const FinishedUnit& unit,
                                           std::span<const FinishedUnit> recent = {},
                                           const FrozenLookup& frozen = {},
                                           const std::atomic<bool>* stop = nullptr);

// The line an alarm is shown and kept with.
std::string AlarmText(const std::string& series, const std::string& model, const RuleHit& hit);

// "above" or "below", as the records keep a side.
const char* RuleSideWord(RuleSide side);

}  // namespace orvalt
