#include "output/YieldTable.h"

#include <cstdio>

#include "domain/PrintableText.h"

namespace orvalt {

namespace {

// Wider than the column, so a longer name pushes its figures right.
constexpr std::size_t kGroupShownMax = 40;

// "12:04:05": hours, minutes and seconds, however many hours.
std::string HoursMinutesSeconds(std::int64_t ms) {
    const long long seconds = static_cast<long long>(ms / 1000);
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

// "87.5%" of `whole`; "-" when there is no whole to share.
std::string Share(std::int64_t part, std::int64_t whole) {
    if (whole <= 0) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * static_cast<double>(part) / whole);
    return text;
}

std::string PerUnit(std::int64_t count, std::int64_t units) {
    if (units <= 0) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(count) / units);
    return text;
}

std::string GroupShown(const YieldRow& row) {
    return row.group.empty() ? "-" : PrintableText(row.group, kGroupShownMax);
}

std::string TestsTable(const std::vector<YieldRow>& rows, const char* title) {
    char line[512];
    std::snprintf(line, sizeof line, "%-24s %9s %7s %9s %9s %7s %7s\n", title, "tests", "units",
                  "completed", "abandoned", "pass", "fail");
    std::string table = line;
    for (const YieldRow& row : rows) {
        std::snprintf(line, sizeof line, "%-24s %9lld %7lld %9lld %9lld %7lld %7lld\n",
                      GroupShown(row).c_str(), static_cast<long long>(row.tests),
                      static_cast<long long>(row.units), static_cast<long long>(row.completed),
                      static_cast<long long>(row.abandoned), static_cast<long long>(row.passed),
                      static_cast<long long>(row.failed));
        table += line;
    }
    return table;
}

std::string UnitsTable(const std::vector<YieldRow>& rows, const char* title) {
    char line[512];
    std::snprintf(line, sizeof line, "%-24s %7s %10s %7s %7s %8s %7s %6s %10s\n", title, "judged",
                  "first-pass", "final", "retests", "per unit", "failing", "lost", "lost time");
    std::string table = line;
    for (const YieldRow& row : rows) {
        std::snprintf(
            line, sizeof line, "%-24s %7lld %10s %7s %7lld %8s %7lld %6lld %10s\n",
            GroupShown(row).c_str(), static_cast<long long>(row.judgedUnits),
            Share(row.firstPass, row.judgedUnits).c_str(),
            Share(row.finalPass, row.judgedUnits).c_str(), static_cast<long long>(row.retests),
            PerUnit(row.retests, row.judgedUnits).c_str(), static_cast<long long>(row.stillFailing),
            static_cast<long long>(row.lostRuns), HoursMinutesSeconds(row.lostMs).c_str());
        table += line;
    }
    return table;
}

}  // namespace

std::string YieldTable(const std::vector<YieldRow>& rows, YieldGrouping by) {
    const char* title = YieldGroupingWord(by);
    return TestsTable(rows, title) + "\n" + UnitsTable(rows, title);
}

}  // namespace orvalt
