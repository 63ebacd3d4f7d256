// The one table of measurement names against what the operator is promised:
// docs/limits.md's table of names and units, and every lookup by figure,
// level, cycle and statistic landing on its own entry.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "domain/MeasurementNames.h"
#include "support/TempFolder.h"

namespace orvalt {
namespace {

// Appended: GCC 12 at -O3 takes "V" + text for an overlapping copy (-Wrestrict).
std::string LevelName(int level) {
    std::string name = "V";
    name += std::to_string(level);
    return name;
}

using NameAndUnit = std::pair<std::string, std::string>;

std::string UnitOfWord(const std::string& word) {
    return word == "volts" ? "V" : word == "seconds" ? "s" : word == "count" ? "" : "?" + word;
}

// Each `name` of the first column of a "| name | unit | ..." row, with "Vk"
// standing for V1..V4.
std::set<NameAndUnit> DocumentedNames() {
    const std::string text =
        test::ReadBytes(std::filesystem::path(ORVALT_SOURCE_DIR) / "docs" / "limits.md");
    const std::regex row("\\n\\| (`[^|]+) \\| (count|volts|seconds) \\|");
    const std::regex name("`([A-Za-z0-9.]+)`");
    std::set<NameAndUnit> names;
    for (std::sregex_iterator r(text.begin(), text.end(), row), end; r != end; ++r) {
        const std::string cell = (*r)[1].str();
        for (std::sregex_iterator n(cell.begin(), cell.end(), name); n != end; ++n) {
            const std::string found = (*n)[1].str();
            for (int level = 1; level <= 4; ++level) {
                std::string expanded = found;
                if (expanded.starts_with("Vk")) {
                    expanded.replace(0, 2, LevelName(level));
                }
                names.insert({expanded, UnitOfWord((*r)[2].str())});
            }
        }
    }
    return names;
}

TEST(MeasurementNames, AreThoseTheLimitsPageDocumentsWithTheirUnitsAndDecimals) {
    std::set<NameAndUnit> table;
    for (const MeasurementName& entry : MeasurementNames()) {
        EXPECT_TRUE(table.insert({entry.name, entry.unit}).second) << entry.name << " twice";
        EXPECT_EQ(entry.decimals, entry.unit.empty() ? 0 : 2) << entry.name;
        EXPECT_EQ(FindMeasurementName(entry.name), &entry);
    }
    EXPECT_EQ(table, DocumentedNames());
    EXPECT_EQ(table.size(), 42u);
    EXPECT_EQ(FindMeasurementName("v1"), nullptr) << "exact names only";
}

TEST(MeasurementNames, EveryLookupLandsOnItsOwnEntry) {
    std::set<const MeasurementName*> seen;
    for (int figure = 0; figure <= static_cast<int>(Figure::RepetitionsFailed); ++figure) {
        EXPECT_TRUE(seen.insert(&NameOf(static_cast<Figure>(figure))).second) << figure;
    }
    const std::pair<LevelStatistic, const char*> statistics[] = {{LevelStatistic::Highest, ".max"},
                                                                 {LevelStatistic::Lowest, ".min"},
                                                                 {LevelStatistic::Average, ".avg"}};
    for (int level = 1; level <= 4; ++level) {
        const Figure figure = LevelFigure(level);
        const std::string name = LevelName(level);
        EXPECT_EQ(&NameOf(figure), FindMeasurementName(name));
        for (int cycle = 1; cycle <= 4; ++cycle) {
            EXPECT_EQ(&CycleNameOf(figure, cycle),
                      FindMeasurementName(name + ".c" + std::to_string(cycle)));
            EXPECT_TRUE(seen.insert(&CycleNameOf(figure, cycle)).second);
        }
        for (const auto& [statistic, suffix] : statistics) {
            EXPECT_EQ(&StatisticNameOf(figure, statistic), FindMeasurementName(name + suffix));
            EXPECT_TRUE(seen.insert(&StatisticNameOf(figure, statistic)).second);
        }
    }
    EXPECT_EQ(seen.size(), MeasurementNames().size()) << "every entry reached once";
    EXPECT_EQ(SwitchAtName(Figure::TimeToOffB), "TimeToOffB.switchAt");
    EXPECT_EQ(FindMeasurementName(SwitchAtName(Figure::TimeToOn)), nullptr)
        << "no limit can bound where a switch lies";
}

}  // namespace
}  // namespace orvalt
