#include "domain/MeasurementNames.h"

#include <algorithm>
#include <vector>

namespace orvalt {

namespace {

constexpr int kLevels = 4;
constexpr int kCycles = 4;
// Per level: the summary line's value, each cycle's value, then the statistics.
constexpr std::size_t kPerLevel = 1 + kCycles + 3;
constexpr std::string_view kStatisticSuffixes[] = {".max", ".min", ".avg"};

int LevelIndex(Figure level) {
    return std::clamp(static_cast<int>(level) - static_cast<int>(Figure::V1), 0, kLevels - 1);
}

void AddLevel(std::vector<MeasurementName>& table, const std::string& level) {
    table.push_back({level, "V", 2});
    for (int cycle = 1; cycle <= kCycles; ++cycle) {
        table.push_back({level + ".c" + std::to_string(cycle), "V", 2});
    }
    for (const std::string_view suffix : kStatisticSuffixes) {
        table.push_back({level + std::string(suffix), "V", 2});
    }
}

std::vector<MeasurementName> BuildTable() {
    std::vector<MeasurementName> table{{"NotCycling", "", 0}};
    for (int level = 1; level <= kLevels; ++level) {
        std::string name = "V";  // appended: GCC 12 at -O3 takes "V" + text for an overlapping copy
        name += std::to_string(level);
        AddLevel(table, name);
    }
    for (const char* seconds : {"CT", "TimeToOn", "TimeToOffA", "TimeToOffB"}) {
        table.push_back({seconds, "s", 2});
    }
    for (const char* count :
         {"Delay", "SaveNotAsExpected", "PriorCount", "DiagValue", "RepetitionsFailed"}) {
        table.push_back({count, "", 0});
    }
    return table;
}

const std::vector<MeasurementName>& Table() {
    static const std::vector<MeasurementName> table = BuildTable();
    return table;
}

// Where a level's entries start in the table: the levels take kPerLevel each,
// after NotCycling. Any other figure counts as the nearest level.
std::size_t LevelSlot(Figure level) {
    return 1 + static_cast<std::size_t>(LevelIndex(level)) * kPerLevel;
}

// Where a figure's entry sits in the table.
std::size_t SlotOf(Figure figure) {
    if (figure == Figure::NotCycling) {
        return 0;
    }
    if (figure <= Figure::V4) {
        return LevelSlot(figure);
    }
    return 1 + kLevels * kPerLevel +
           static_cast<std::size_t>(static_cast<int>(figure) - static_cast<int>(Figure::CT));
}

}  // namespace

Figure LevelFigure(int level) {
    return static_cast<Figure>(static_cast<int>(Figure::V1) + std::clamp(level, 1, kLevels) - 1);
}

const MeasurementName& NameOf(Figure figure) {
    return Table()[SlotOf(figure)];
}

const MeasurementName& CycleNameOf(Figure level, int cycle) {
    return Table()[LevelSlot(level) + static_cast<std::size_t>(std::clamp(cycle, 1, kCycles))];
}

const MeasurementName& StatisticNameOf(Figure level, LevelStatistic statistic) {
    return Table()[LevelSlot(level) + 1 + kCycles + static_cast<std::size_t>(statistic)];
}

std::span<const MeasurementName> MeasurementNames() {
    return Table();
}

const MeasurementName* FindMeasurementName(std::string_view name) {
    const auto& table = Table();
    const auto found =
        std::find_if(table.begin(), table.end(),
                     [name](const MeasurementName& entry) { return entry.name == name; });
    return found == table.end() ? nullptr : &*found;
}

bool IsDiagnosticFigure(std::string_view name) {
    for (Figure figure :
         {Figure::Delay, Figure::SaveNotAsExpected, Figure::PriorCount, Figure::DiagValue}) {
        if (NameOf(figure).name == name) {
            return true;
        }
    }
    return false;
}

std::string SwitchAtName(Figure crossing) {
    return NameOf(crossing).name + ".switchAt";
}

}  // namespace orvalt
