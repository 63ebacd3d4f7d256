#pragma once
// A measurement series judged for drift: how it spreads, its capability
// against its recorded bounds and the control-chart rules it broke against
// its baseline.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "spc/Baseline.h"
#include "spc/Capability.h"
#include "spc/ControlRules.h"
#include "spc/MeasuredSeries.h"
#include "spc/ShownValue.h"
#include "spc/Spread.h"

namespace orvalt {

struct JudgedSeries {
    std::string name;  // SeriesName
    MeasuredSeries series;
    Spread spread;
    Capability capability;
    bool capabilityLow = false;  // CapabilityFlagged
    std::optional<Baseline> baseline;
    std::optional<std::string> frozenAt;  // set when the baseline was frozen
    std::vector<RuleHit> hits;

    Resolution ShownAs() const { return Resolution{series.decimals}; }
};

// The series' values, oldest first.
std::vector<double> ValuesOf(const MeasuredSeries& series);

// One series judged against the baseline given (none: no rule is judged);
// `frozenAt` when an engineer froze it.
JudgedSeries JudgeSeriesAgainst(MeasuredSeries series, std::string name, std::optional<Baseline> baseline,
                             std::optional<std::string> frozenAt = std::nullopt);

// A run of hits of one rule on one side: the unit that started it and the
// last unit that continued it.
struct HitRun {
    RuleHit first;
    std::size_t lastUnit = 0;
    std::size_t units = 1;  // hits in the run
};

// The hits folded into runs, in the order they started.
std::vector<HitRun> HitRuns(const std::vector<RuleHit>& hits);

}  // namespace orvalt
