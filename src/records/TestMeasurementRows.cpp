#include "records/TestMeasurementRows.h"

#include <algorithm>
#include <array>
#include <string>

namespace orvalt {

namespace {

void AddLevelFigures(std::vector<Measurement>& rows, const std::string& name,
                     const std::array<double, 4>& perCycle, int cycles) {
    const auto first = perCycle.begin();
    const auto last = first + cycles;
    double sum = 0.0;
    for (auto it = first; it != last; ++it)
        sum += *it;
    rows.push_back({name + " max", *std::max_element(first, last)});
    rows.push_back({name + " min", *std::min_element(first, last)});
    rows.push_back({name + " avg", sum / cycles});
}

void AddDiagFigures(std::vector<Measurement>& rows, const TestMeasurements& m) {
    rows.push_back({"Delay", static_cast<double>(m.delay)});
    rows.push_back({"Diag value", static_cast<double>(m.diagValue)});
    rows.push_back({"Save not as expected", static_cast<double>(m.saveNotAsExpected)});
    rows.push_back({"Prior count", static_cast<double>(m.priorCount)});
}

}  // namespace

std::vector<Measurement> MeasurementRows(const TestMeasurements& m, int cycles, int level) {
    std::vector<Measurement> rows;
    rows.push_back({"NotCycling", static_cast<double>(m.notCycling)});
    if (m.notCycling)
        return rows;
    cycles = std::clamp(cycles, 1, 4);
    level = std::clamp(level, 1, 4);
    AddLevelFigures(rows, "V1", m.V1, cycles);
    AddLevelFigures(rows, "V2", m.V2, cycles);
    AddLevelFigures(rows, "V3", m.V3, cycles);
    AddLevelFigures(rows, "V4", m.V4, cycles);
    rows.push_back({"CT", m.CT});
    rows.push_back({"Time To ON", m.timeToOn});
    if (!m.timeToOffDone)
        return rows;
    rows.push_back({"Time To OFF A", m.timeToOffA[static_cast<std::size_t>(level - 1)]});
    rows.push_back({"Time To OFF B", m.timeToOffB[static_cast<std::size_t>(level - 1)]});
    AddDiagFigures(rows, m);
    return rows;
}

}  // namespace orvalt
