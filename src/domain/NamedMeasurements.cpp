#include "domain/NamedMeasurements.h"

#include <algorithm>
#include <array>

#include "domain/LevelStatistics.h"

namespace orvalt {

namespace {

using LevelValues = std::array<double, 4>;

struct LevelRef {
    const char* name;
    const LevelValues* values;
};

std::array<LevelRef, 4> Levels(const TestMeasurements& m) {
    return {LevelRef{"V1", &m.V1}, LevelRef{"V2", &m.V2}, LevelRef{"V3", &m.V3},
            LevelRef{"V4", &m.V4}};
}

std::size_t Slot(int oneBased) {
    return static_cast<std::size_t>(std::clamp(oneBased, 1, 4) - 1);
}

// The summary line's own figures: zeros throughout for a unit that did not
// cycle, and the diagnostic judgement only when the Time-to-OFF step ran.
void AddSummaryFigures(std::vector<NamedMeasurement>& list, const TestMeasurements& m, int cycles) {
    const bool cycled = m.notCycling == 0;
    list.push_back({"NotCycling", cycled ? 0.0 : 1.0});
    for (const LevelRef& level : Levels(m)) {
        list.push_back({level.name, cycled ? (*level.values)[Slot(cycles)] : 0.0});
    }
    list.push_back({"CT", cycled ? m.CT : 0.0});
    list.push_back({"TimeToOn", cycled ? m.timeToOn : 0.0});
    const bool judged = cycled && m.timeToOffDone != 0;
    list.push_back({"Delay", judged ? m.delay : 0.0});
    list.push_back({"SaveNotAsExpected", judged ? m.saveNotAsExpected : 0.0});
    list.push_back({"PriorCount", judged ? m.priorCount : 0.0});
    list.push_back({"DiagValue", judged ? m.diagValue : 0.0});
}

void AddLevelFigures(std::vector<NamedMeasurement>& list, const LevelRef& level, int cycles) {
    const std::string name = level.name;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        list.push_back({name + ".c" + std::to_string(cycle), (*level.values)[Slot(cycle)]});
    }
    const LevelStatistics statistics = StatisticsOf(*level.values, cycles);
    list.push_back({name + ".max", statistics.maximum});
    list.push_back({name + ".min", statistics.minimum});
    list.push_back({name + ".avg", statistics.average});
}

void AddCycleFigures(std::vector<NamedMeasurement>& list, const TestMeasurements& m,
                     const TestShape& shape) {
    const int cycles = std::clamp(shape.cycles, 1, 4);
    for (const LevelRef& level : Levels(m)) {
        AddLevelFigures(list, level, cycles);
    }
    if (m.timeToOffDone != 0) {
        list.push_back({"TimeToOffA", m.timeToOffA[Slot(shape.switchOffLevel)]});
        list.push_back({"TimeToOffB", m.timeToOffB[Slot(shape.switchOffLevel)]});
    }
}

}  // namespace

std::vector<NamedMeasurement> NameMeasurements(const TestMeasurements& measured,
                                               const TestShape& shape) {
    std::vector<NamedMeasurement> list;
    if (!shape.cycleMode) {
        list.push_back({"RepetitionsFailed", static_cast<double>(measured.repetitionsFailed)});
        return list;
    }
    AddSummaryFigures(list, measured, shape.cycles);
    if (measured.notCycling == 0) {
        AddCycleFigures(list, measured, shape);
    }
    return list;
}

}  // namespace orvalt
