#include "lookback/Yield.h"

#include <cstdio>

#include "domain/PrintableText.h"

namespace orvalt {

namespace {

// Wider than the column, so a longer name pushes its figures right.
constexpr std::size_t kGroupShownMax = 40;

const char* GroupExpression(YieldGrouping by) {
    switch (by) {
        case YieldGrouping::Model:
            return "r.model";
        case YieldGrouping::Driver:
            return "r.driver_manufacturer || ' ' || r.driver_model";
        case YieldGrouping::Day:
            return "substr(r.started_at, 1, 10)";
    }
    return "r.model";
}

// Each run carries its tally of tests, so yield reads runs only (by model from
// one covering index): a million tests stay well under a second.
std::string YieldSql(YieldGrouping by) {
    return std::string(
               "SELECT g, SUM(n), COUNT(DISTINCT unit), SUM(c), SUM(n - c), SUM(p), SUM(f)"
               " FROM (SELECT ") +
           GroupExpression(by) +
           " AS g, COALESCE(NULLIF(r.serial, ''), r.run_uuid) AS unit,"
           " COALESCE(r.tests_begun, 0) AS n, COALESCE(r.tests_completed, 0) AS c,"
           " COALESCE(r.tests_passed, 0) AS p, COALESCE(r.tests_failed, 0) AS f FROM runs r"
           " WHERE CAST($1 AS TEXT) IS NULL OR r.started_at >= $1) x"
           " GROUP BY g ORDER BY g";
}

}  // namespace

std::optional<YieldGrouping> YieldGroupingFromWord(const std::string& word) {
    if (word == "model") {
        return YieldGrouping::Model;
    }
    if (word == "driver") {
        return YieldGrouping::Driver;
    }
    if (word == "day") {
        return YieldGrouping::Day;
    }
    return std::nullopt;
}

Result<std::vector<YieldRow>> QueryYield(SqlConnection& connection, YieldGrouping by,
                                         const std::optional<std::string>& since) {
    return RowsAs<YieldRow>(connection.Run(YieldSql(by), {since ? SqlValue(*since) : SqlValue()}),
                            [](const SqlRow& cells) {
                                return YieldRow{CellText(cells[0]),    CellInteger(cells[1]),
                                                CellInteger(cells[2]), CellInteger(cells[3]),
                                                CellInteger(cells[4]), CellInteger(cells[5]),
                                                CellInteger(cells[6])};
                            });
}

std::string YieldTable(const std::vector<YieldRow>& rows, YieldGrouping by) {
    static const char* const kTitles[] = {"model", "driver", "day"};
    char line[512];
    std::snprintf(line, sizeof line, "%-24s %9s %7s %9s %9s %7s %7s\n",
                  kTitles[static_cast<int>(by)], "tests", "units", "completed", "abandoned", "pass",
                  "fail");
    std::string table = line;
    for (const YieldRow& row : rows) {
        std::snprintf(line, sizeof line, "%-24s %9lld %7lld %9lld %9lld %7lld %7lld\n",
                      row.group.empty() ? "-" : PrintableText(row.group, kGroupShownMax).c_str(),
                      static_cast<long long>(row.tests), static_cast<long long>(row.units),
                      static_cast<long long>(row.completed), static_cast<long long>(row.abandoned),
                      static_cast<long long>(row.passed), static_cast<long long>(row.failed));
        table += line;
    }
    return table;
}

}  // namespace orvalt
