#include "records/History.h"

#include <cstdio>

namespace orvalt {

namespace {

// Each filter is a condition that holds when its parameter is NULL, so one
// statement serves every combination.
constexpr const char* kHistorySql =
    "SELECT r.run_uuid, r.started_at, r.ended_at, r.ended_how, r.host, r.operator,"
    " r.manufacturer, r.model, r.driver_model, r.serial, r.plan_name,"
    " (SELECT COUNT(*) FROM tests t WHERE t.run_uuid = r.run_uuid),"
    " (SELECT COUNT(*) FROM tests t WHERE t.run_uuid = r.run_uuid AND t.ended_how = 'completed')"
    " FROM runs r"
    " WHERE (CAST($1 AS TEXT) IS NULL OR r.serial = $1) AND (CAST($2 AS TEXT) IS NULL OR r.model = "
    "$2)"
    " AND (CAST($3 AS TEXT) IS NULL OR r.started_at >= $3)"
    " ORDER BY r.started_at DESC, r.run_uuid";

SqlValue Optional(const std::optional<std::string>& text) {
    return text ? SqlValue(*text) : SqlValue();
}

HistoryRow RowOf(const SqlRow& cells) {
    HistoryRow row;
    std::string* texts[] = {&row.uuid,        &row.startedAt,     &row.endedAt,      &row.endedHow,
                            &row.host,        &row.operatorLogin, &row.manufacturer, &row.model,
                            &row.driverModel, &row.serial,        &row.planName};
    for (std::size_t i = 0; i < std::size(texts); ++i)
        *texts[i] = CellText(cells[i]);
    row.tests = static_cast<int>(CellInteger(cells[11]));
    row.completedTests = static_cast<int>(CellInteger(cells[12]));
    return row;
}

}  // namespace

bool IsIsoDate(const std::string& text) {
    int year = 0, month = 0, day = 0;
    char tail = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &tail) != 3)
        return false;
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1])
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return !(month == 2 && day == 29 && !leap);
}

Result<std::vector<HistoryRow>> QueryHistory(SqlConnection& connection,
                                             const HistoryFilter& filter) {
    return RowsAs<HistoryRow>(
        connection.Run(kHistorySql,
                       {Optional(filter.serial), Optional(filter.model), Optional(filter.since)}),
        RowOf);
}

std::string HistoryLine(const HistoryRow& row) {
    const auto orDash = [](const std::string& text) {
        return text.empty() ? std::string("-") : text;
    };
    return row.startedAt + "  " + row.uuid + "  " + orDash(row.model) + "  " + orDash(row.serial) +
           "  " + std::to_string(row.completedTests) + "/" + std::to_string(row.tests) +
           " tests  " + orDash(row.endedHow.empty() ? "open" : row.endedHow) + "  " +
           orDash(row.planName) + "  " + orDash(row.host) + "/" + orDash(row.operatorLogin);
}

}  // namespace orvalt
