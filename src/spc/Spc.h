#pragma once
// A model's measurement series judged for drift: how each spreads, its
// capability against its recorded bounds, its baseline and the control-chart
// rules it broke. The baseline is frozen by an engineer, or else the first
// units of the model that completed the test (whatever window is looked at:
// a centre taken from the units being judged would drift along with them).

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/Result.h"
#include "spc/Baseline.h"
#include "spc/Capability.h"
#include "spc/ControlRules.h"
#include "spc/DriftBaselineSetting.h"
#include "spc/DriftSeries.h"
#include "spc/ShownValue.h"
#include "spc/Spread.h"

namespace orvalt {

struct SpcSeries {
    std::string name;  // SeriesName
    DriftSeries series;
    Spread spread;
    Capability capability;
    bool capabilityLow = false;  // CapabilityFlagged
    std::optional<Baseline> baseline;
    std::optional<std::string> frozenAt;  // set when the baseline was frozen
    std::vector<RuleHit> hits;

    Resolution ShownAs() const { return Resolution{series.decimals}; }
};

// The frozen baseline of a series of the model, if any.
using FrozenLookup =
    std::function<std::optional<FrozenBaseline>(int testIndex, const std::string& measurement)>;

// The series' baseline from its model's first units (on `station` alone,
// when given); none while there are fewer than a baseline takes.
Result<std::optional<Baseline>> FirstUnitsBaseline(
    SqlConnection& connection, const std::string& model, const DriftSeries& series,
    const std::optional<DriftStation>& station = std::nullopt);

// One series judged against the baseline given (none: no rule is judged);
// `frozenAt` when an engineer froze it.
SpcSeries JudgeSeriesAgainst(DriftSeries series, std::string name, std::optional<Baseline> baseline,
                             std::optional<std::string> frozenAt = std::nullopt);

// One series judged: its spread, capability, baseline and rule hits, under
// `name` (SeriesName among the model's series).
Result<SpcSeries> JudgeSeries(SqlConnection& connection, const std::string& model,
                              DriftSeries series, std::string name, const FrozenLookup& frozen);

// Every series of the query judged; a clear message when the model has no
// runs, no such measurement, or nothing in the window.
Result<std::vector<SpcSeries>> LoadSpc(SqlConnection& connection, const DriftQuery& query,
                                       const FrozenLookup& frozen);

// The baseline of each series from the units the window picks; a series with
// fewer than kBaselineUnits units is left out. Fails as LoadSpc does.
Result<std::vector<SeriesBaseline>> BaselinesToFreeze(SqlConnection& connection,
                                                      const DriftQuery& query,
                                                      const std::string& frozenAt,
                                                      std::vector<std::string>& tooShort);

// A run of hits of one rule on one side: the unit that started it and the
// last unit that continued it.
struct HitRun {
    RuleHit first;
    std::size_t lastUnit = 0;
    std::size_t units = 1;  // hits in the run
};

// The hits folded into runs, in the order they started.
std::vector<HitRun> HitRuns(const std::vector<RuleHit>& hits);

// The series as text for a terminal: one block per series.
std::string SpcText(const std::vector<SpcSeries>& all);

// "centre 0.500, sigma 0.010, 25 units, the model's first units" (or
// "frozen <when>"), or that there is no baseline yet.
std::string BaselineText(const SpcSeries& judged);

// Why a series is flagged: "Cpk 1.22 is below 1.33 over 40 units", then
// "Ppk 0.34 is below 1.33" and "8 of 40 units (20.0%) are out of limits" where they
// hold, joined by "; ".
std::string CapabilityLowText(const SpcSeries& judged);

// "8 of 40 units (20.0%)": the units whose value lies outside the limits.
std::string OutOfLimitsText(const SpcSeries& judged);

// Why Cp and Cpk use sigma overall, for a series with a limit whose sigma
// within is too coarse and whose values spread; empty for any other.
std::string CoarseWithinText(const SpcSeries& judged);

// A capability index with two decimals; "<=1.00" for one held at the ceiling
// while units lie outside the limits; "-" for none.
std::string SpcIndex(const std::optional<CapabilityIndex>& index);

// A number as the series shows its values, one digit more (a mean or a sigma
// is finer than one unit's value); "-" for none.
std::string SpcNumber(std::optional<double> value, int decimals);

}  // namespace orvalt
