#include "domain/NamedMeasurements.h"

#include <algorithm>
#include <array>

#include "domain/LevelStatistics.h"
#include "domain/MeasurementNames.h"

namespace orvalt {

namespace {

using LevelValues = std::array<double, 4>;

struct LevelRef {
    Figure figure;
    const LevelValues* values;
};

std::array<LevelRef, 4> Levels(const TestMeasurements& m) {
    return {LevelRef{Figure::V1, &m.V1}, LevelRef{Figure::V2, &m.V2}, LevelRef{Figure::V3, &m.V3},
            LevelRef{Figure::V4, &m.V4}};
}

void Add(std::vector<NamedMeasurement>& list, const MeasurementName& name, double value) {
    list.push_back({name.name, value, name.unit, name.decimals});
}

void Add(std::vector<NamedMeasurement>& list, Figure figure, double value) {
    Add(list, NameOf(figure), value);
}

std::size_t Slot(int oneBased) {
    return static_cast<std::size_t>(std::clamp(oneBased, 1, 4) - 1);
}

// The summary line's own figures: zeros throughout for a unit that did not
// cycle, and the diagnostic judgement only when the Time-to-OFF step ran. A
// step that found no diagnostic record gives no diagnostic figures at all:
// the summary line's zeros were never measured, and no limit may take them
// for values.
void AddSummaryFigures(std::vector<NamedMeasurement>& list, const TestMeasurements& m, int cycles) {
    const bool cycled = m.notCycling == 0;
    Add(list, Figure::NotCycling, cycled ? 0.0 : 1.0);
    for (const LevelRef& level : Levels(m)) {
        Add(list, level.figure, cycled ? (*level.values)[Slot(cycles)] : 0.0);
    }
    Add(list, Figure::CT, cycled ? m.CT : 0.0);
    Add(list, Figure::TimeToOn, cycled ? m.timeToOn : 0.0);
    const bool judged = cycled && m.timeToOffDone != 0;
    if (judged && !m.diagReceived) {
        return;
    }
    Add(list, Figure::Delay, judged ? m.delay : 0.0);
    Add(list, Figure::SaveNotAsExpected, judged ? m.saveNotAsExpected : 0.0);
    Add(list, Figure::PriorCount, judged ? m.priorCount : 0.0);
    Add(list, Figure::DiagValue, judged ? m.diagValue : 0.0);
}

void AddLevelFigures(std::vector<NamedMeasurement>& list, const LevelRef& level, int cycles) {
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        Add(list, CycleNameOf(level.figure, cycle), (*level.values)[Slot(cycle)]);
    }
    const LevelStatistics statistics = StatisticsOf(*level.values, cycles);
    Add(list, StatisticNameOf(level.figure, LevelStatistic::Highest), statistics.maximum);
    Add(list, StatisticNameOf(level.figure, LevelStatistic::Lowest), statistics.minimum);
    Add(list, StatisticNameOf(level.figure, LevelStatistic::Average), statistics.average);
}

void AddCycleFigures(std::vector<NamedMeasurement>& list, const TestMeasurements& m,
                     const TestShape& shape) {
    const int cycles = std::clamp(shape.cycles, 1, 4);
    for (const LevelRef& level : Levels(m)) {
        AddLevelFigures(list, level, cycles);
    }
    if (m.timeToOffDone != 0) {
        Add(list, Figure::TimeToOffA, m.timeToOffA[Slot(shape.switchOffLevel)]);
        Add(list, Figure::TimeToOffB, m.timeToOffB[Slot(shape.switchOffLevel)]);
    }
}

}  // namespace

std::vector<NamedMeasurement> NameMeasurements(const TestMeasurements& measured,
                                               const TestShape& shape) {
    std::vector<NamedMeasurement> list;
    if (!shape.cycleMode) {
        Add(list, Figure::RepetitionsFailed, static_cast<double>(measured.repetitionsFailed));
        return list;
    }
    AddSummaryFigures(list, measured, shape.cycles);
    if (measured.notCycling == 0) {
        AddCycleFigures(list, measured, shape);
    }
    return list;
}

const NamedMeasurement* FindNamed(std::span<const NamedMeasurement> list, std::string_view name) {
    const auto found = std::find_if(
        list.begin(), list.end(), [name](const NamedMeasurement& row) { return row.name == name; });
    return found == list.end() ? nullptr : &*found;
}

}  // namespace orvalt
