#include "spc/SpcCheck.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <utility>

#include "spc/Baseline.h"
#include "spc/MeasuredSeries.h"
#include "spc/Spc.h"

namespace orvalt {

namespace {

using SeriesKey = std::pair<int, std::string>;

// The most runs one read takes while it widens its window: a series that first
// appears further into the model's history than this gets no check.
constexpr std::size_t kMostRunsRead = 64 * kBaselineUnits;

SeriesKey KeyOf(const UnitFigure& figure) {
    return {figure.testIndex, figure.figure.name};
}

// A point of a series, with when its run started: what places a unit the
// station keeps among those read.
struct TimedValue {
    std::string startedAt;
    double value = 0.0;
};

// A model's points read from the records, by series, oldest first; the runs
// the station knows better left out.
struct ReadPoints {
    std::map<SeriesKey, std::vector<TimedValue>> values;
    std::set<SeriesKey> seen;  // every series the read met, for naming
};

struct PointsWanted {
    const FinishedUnit& unit;
    std::set<SeriesKey> keys;  // the series that need them
    std::size_t count = 0;     // how many each needs
    bool newest = false;       // the last runs, else the first
    // The run just ended, and those whose units the station gives itself.
    std::set<std::string> leftOut;
};

bool Stopped(const std::atomic<bool>* stop) {
    return stop && stop->load();
}

// Takes the loaded series in; returns how many runs gave a point.
std::size_t Take(std::vector<MeasuredSeries>& loaded, const PointsWanted& wanted, ReadPoints& read) {
    std::set<std::string> runs;
    read.values.clear();
    for (MeasuredSeries& series : loaded) {
        const SeriesKey key{series.testIndex, series.measurement};
        read.seen.insert(key);
        std::vector<TimedValue>& values = read.values[key];
        for (const SeriesPoint& point : series.points) {
            runs.insert(point.run->runUuid);
            if (!wanted.leftOut.contains(point.run->runUuid) && std::isfinite(point.value)) {
                values.push_back({point.run->startedAt, point.value});
            }
        }
    }
    return runs.size();
}

bool AnyShort(const PointsWanted& wanted, const ReadPoints& read) {
    return std::any_of(wanted.keys.begin(), wanted.keys.end(), [&](const SeriesKey& key) {
        const auto found = read.values.find(key);
        return found == read.values.end() || found->second.size() < wanted.count;
    });
}

// Reads `wanted.count` points of each series, and as many runs more as are
// left out, since they may have landed already; the window widens while a
// series is short and a wider one still finds more runs (a run stopped before
// a test gives that test's series no point).
Result<std::optional<ReadPoints>> Read(SqlConnection& db, const PointsWanted& wanted,
                                       const std::atomic<bool>* stop) {
    ReadPoints read;
    std::size_t runs = wanted.count + wanted.leftOut.size();
    std::size_t runsSeen = 0;
    while (true) {
        if (Stopped(stop)) {
            return std::optional<ReadPoints>();
        }
        // The run's own figure gives the digits the series is judged by.
        SeriesQuery query{wanted.unit.model, std::nullopt, {}, true};
        query.station = wanted.unit.station;
        (wanted.newest ? query.window.last : query.window.first) = runs;
        Result<std::vector<MeasuredSeries>> loaded = LoadMeasuredSeries(db, query);
        if (!loaded) {
            return Fail(loaded.Error());
        }
        const std::size_t gave = Take(*loaded, wanted, read);
        if (!AnyShort(wanted, read) || runs >= kMostRunsRead || gave <= runsSeen) {
            return std::optional(std::move(read));
        }
        runsSeen = gave;
        runs *= 2;
    }
}

// The names the series go by among all the model's series met.
std::map<SeriesKey, std::string> SeriesNames(const std::set<SeriesKey>& keys) {
    std::vector<MeasuredSeries> all;
    for (const auto& [test, measurement] : keys) {
        MeasuredSeries series;
        series.testIndex = test;
        series.measurement = measurement;
        all.push_back(std::move(series));
    }
    std::map<SeriesKey, std::string> names;
    for (const MeasuredSeries& series : all) {
        names[{series.testIndex, series.measurement}] = SeriesName(series, all);
    }
    return names;
}

// The newest point's hits that start a pattern.
std::vector<RuleHit> NewAlarms(const Baseline& baseline, const std::vector<double>& before,
                               double newest, int decimals) {
    std::vector<double> values = before;
    values.push_back(newest);
    std::vector<RuleHit> alarms;
    for (const RuleHit& hit : FindRuleHits(values, baseline, Resolution{decimals})) {
        if (hit.unit + 1 == values.size() && !hit.continued) {
            alarms.push_back(hit);
        }
    }
    return alarms;
}

std::vector<double> ValuesOf(std::span<const TimedValue> points) {
    std::vector<double> values;
    values.reserve(points.size());
    for (const TimedValue& point : points) {
        values.push_back(point.value);
    }
    return values;
}

// The values of the first `count` points, and of the last `count`.
std::vector<double> First(std::span<const TimedValue> points, std::size_t count) {
    return ValuesOf(points.first(std::min(count, points.size())));
}

std::vector<double> Last(std::span<const TimedValue> points, std::size_t count) {
    return ValuesOf(points.last(std::min(count, points.size())));
}

// The station's recent units of the model, the run just ended aside.
std::vector<const FinishedUnit*> OwnUnits(const FinishedUnit& unit,
                                          std::span<const FinishedUnit> recent) {
    std::vector<const FinishedUnit*> own;
    for (const FinishedUnit& kept : recent) {
        if (kept.model == unit.model && kept.runUuid != unit.runUuid) {
            own.push_back(&kept);
        }
    }
    std::stable_sort(own.begin(), own.end(), [](const FinishedUnit* a, const FinishedUnit* b) {
        return a->startedAt < b->startedAt;
    });
    return own;
}

std::set<std::string> RunsOf(const FinishedUnit& unit,
                             const std::vector<const FinishedUnit*>& own) {
    std::set<std::string> runs{unit.runUuid};
    for (const FinishedUnit* kept : own) {
        runs.insert(kept->runUuid);
    }
    return runs;
}

// The series' points before the unit: those read, and the station's own units
// each after the points of the runs started before it (or with it).
std::vector<TimedValue> WindowBefore(const ReadPoints& read, const SeriesKey& key,
                                     const std::vector<const FinishedUnit*>& own) {
    std::vector<TimedValue> kept;
    for (const FinishedUnit* unit : own) {
        for (const UnitFigure& figure : unit->figures) {
            if (KeyOf(figure) == key && std::isfinite(figure.figure.value)) {
                kept.push_back({unit->startedAt, figure.figure.value});
            }
        }
    }
    const auto found = read.values.find(key);
    if (found == read.values.end()) {
        return kept;
    }
    std::vector<TimedValue> window;
    window.reserve(found->second.size() + kept.size());
    std::merge(found->second.begin(), found->second.end(), kept.begin(), kept.end(),
               std::back_inserter(window),
               [](const TimedValue& a, const TimedValue& b) { return a.startedAt < b.startedAt; });
    return window;
}

SpcCheckResult NotChecked(std::string why) {
    SpcCheckResult result;
    result.notChecked = std::move(why);
    return result;
}

std::string FewerUnitsText(const FinishedUnit& unit) {
    return std::string("no drift check of ")
        .append(unit.model)
        .append(": fewer than ")
        .append(std::to_string(kBaselineUnits))
        .append(" units of it are recorded");
}

// Each series' baseline: the one frozen for it, else that of its first units
// recorded; none for a series with too few. Nothing when the read failed or
// was stopped.
Result<std::optional<std::map<SeriesKey, Baseline>>> BaselinesOf(SqlConnection& db,
                                                                 const FinishedUnit& unit,
                                                                 const std::set<SeriesKey>& keys,
                                                                 const FrozenLookup& frozen,
                                                                 const std::atomic<bool>* stop) {
    std::map<SeriesKey, Baseline> baselines;
    PointsWanted first{unit, {}, kBaselineUnits, false, {unit.runUuid}};
    for (const SeriesKey& key : keys) {
        const std::optional<FrozenBaseline> kept =
            frozen ? frozen(key.first, key.second) : std::nullopt;
        if (kept) {
            baselines[key] = {kept->centre, kept->sigma, kept->units};
        } else {
            first.keys.insert(key);
        }
    }
    if (first.keys.empty()) {
        return std::optional(std::move(baselines));
    }
    const Result<std::optional<ReadPoints>> read = Read(db, first, stop);
    if (!read || !*read) {
        return read ? Result<std::optional<std::map<SeriesKey, Baseline>>>(std::nullopt)
                    : Fail(read.Error());
    }
    for (const UnitFigure& figure : unit.figures) {
        const SeriesKey key = KeyOf(figure);
        const auto values = (*read)->values.find(key);
        if (!first.keys.contains(key) || values == (*read)->values.end()) {
            continue;
        }
        if (auto baseline = BaselineOf(First(values->second, kBaselineUnits),
                                       Resolution{figure.figure.decimals})) {
            baselines[key] = *baseline;
        }
    }
    return std::optional(std::move(baselines));
}

}  // namespace

const char* RuleSideWord(RuleSide side) {
    return side == RuleSide::Above ? "above" : "below";
}

std::string AlarmText(const std::string& series, const std::string& model,
                           const RuleHit& hit) {
    return std::string("Drift: ").append(series).append(" on ").append(model).append(": ").append(
        RuleHitText(hit));
}

Result<SpcCheckResult> CheckFinishedUnit(SqlConnection& db, const FinishedUnit& unit,
                                           std::span<const FinishedUnit> recent,
                                           const FrozenLookup& frozen,
                                           const std::atomic<bool>* stop) {
    SpcCheckResult result;
    std::set<SeriesKey> keys;
    for (const UnitFigure& figure : unit.figures) {
        if (std::isfinite(figure.figure.value)) {
            keys.insert(KeyOf(figure));
        }
    }
    if (unit.model.empty() || keys.empty()) {
        return NotChecked("no drift check: the run names no model or completed no test");
    }
    const auto baselines = BaselinesOf(db, unit, keys, frozen, stop);
    if (!baselines || !*baselines) {
        return baselines ? Result<SpcCheckResult>(NotChecked("the drift check was stopped"))
                         : Fail(baselines.Error());
    }
    const std::vector<const FinishedUnit*> own = OwnUnits(unit, recent);
    PointsWanted last{unit, {}, kRuleWindowUnits, true, RunsOf(unit, own)};
    for (const auto& [key, baseline] : **baselines) {
        last.keys.insert(key);
    }
    if (last.keys.empty()) {
        return NotChecked(FewerUnitsText(unit));
    }
    const Result<std::optional<ReadPoints>> newest = Read(db, last, stop);
    if (!newest || !*newest) {
        return newest ? Result<SpcCheckResult>(NotChecked("the drift check was stopped"))
                      : Fail(newest.Error());
    }
    std::set<SeriesKey> met = (*newest)->seen;
    met.insert(keys.begin(), keys.end());
    const std::map<SeriesKey, std::string> names = SeriesNames(met);
    for (const UnitFigure& figure : unit.figures) {
        const SeriesKey key = KeyOf(figure);
        if (!last.keys.contains(key)) {
            continue;
        }
        ++result.seriesChecked;
        const std::vector<RuleHit> hits = NewAlarms(
            (*baselines)->at(key), Last(WindowBefore(**newest, key, own), kRuleWindowUnits),
            figure.figure.value, figure.figure.decimals);
        for (const RuleHit& hit : hits) {
            const std::string& series = names.at(key);
            result.alarms.push_back({figure.testIndex, figure.figure.name, series, hit,
                                     AlarmText(series, unit.model, hit)});
        }
    }
    return result;
}

}  // namespace orvalt
