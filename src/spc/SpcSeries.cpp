#include "spc/JudgedSeries.h"

#include <map>
#include <utility>

namespace orvalt {

std::vector<double> ValuesOf(const MeasuredSeries& series) {
    std::vector<double> values;
    values.reserve(series.points.size());
    for (const SeriesPoint& point : series.points) {
        values.push_back(point.value);
    }
    return values;
}

JudgedSeries JudgeSeriesAgainst(MeasuredSeries series, std::string name, std::optional<Baseline> baseline,
                             std::optional<std::string> frozenAt) {
    JudgedSeries judged;
    judged.name = std::move(name);
    judged.series = std::move(series);
    const std::vector<double> values = ValuesOf(judged.series);
    judged.spread = SpreadOf(values, judged.ShownAs());
    judged.capability =
        CapabilityOf(values, judged.spread, judged.series.min, judged.series.max, judged.ShownAs());
    judged.capabilityLow = CapabilityFlagged(judged.spread, judged.capability);
    judged.baseline = baseline;
    judged.frozenAt = std::move(frozenAt);
    if (judged.baseline) {
        judged.hits = FindRuleHits(values, *judged.baseline, judged.ShownAs());
    }
    return judged;
}

std::vector<HitRun> HitRuns(const std::vector<RuleHit>& hits) {
    std::vector<HitRun> runs;
    std::map<std::pair<int, RuleSide>, std::size_t> open;  // rule and side: its run
    for (const RuleHit& hit : hits) {
        const auto key = std::make_pair(hit.rule, hit.side);
        const auto going = open.find(key);
        if (hit.continued && going != open.end()) {
            HitRun& run = runs[going->second];
            run.lastUnit = hit.unit;
            ++run.units;
            continue;
        }
        open[key] = runs.size();
        runs.push_back({hit, hit.unit, 1});
    }
    return runs;
}

}  // namespace orvalt
