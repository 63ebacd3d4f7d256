#include "reading/History.h"

#include <cstdint>
#include <limits>
#include <string>

#include "reading/RunLoad.h"

namespace orvalt {

namespace {

// Each filter is a condition that holds when its parameter is NULL, so one
// statement serves every combination. The tests are counted from the run's
// own tally, so the rows come in the order of the start index, one by one,
// with nothing to gather first.
constexpr const char* kHistorySql =
    "SELECT r.run_uuid, r.started_at, r.ended_at, r.ended_how, r.host, r.operator,"
    " r.manufacturer, r.model, r.driver_model, r.serial, r.plan_name,"
    " COALESCE(r.tests_begun, 0), COALESCE(r.tests_completed, 0), r.verdict, r.attempt,"
    " r.fixture"
    " FROM runs r"
    " WHERE (CAST($1 AS TEXT) IS NULL OR r.serial = $1) AND (CAST($2 AS TEXT) IS NULL OR r.model = "
    "$2)"
    " AND (CAST($3 AS TEXT) IS NULL OR r.started_at >= $3)"
    " ORDER BY r.started_at DESC, r.run_uuid LIMIT $4";

SqlValue Optional(const std::optional<std::string>& text) {
    return text ? SqlValue(*text) : SqlValue();
}

HistoryRow RowOf(const SqlRow& cells) {
    HistoryRow row;
    std::string* texts[] = {&row.uuid,        &row.startedAt,    &row.endedAt,      &row.endedHow,
                            &row.host,        &row.operatorName, &row.manufacturer, &row.model,
                            &row.driverModel, &row.serial,       &row.planName};
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        *texts[i] = CellText(cells[i]);
    }
    row.tests = static_cast<int>(CellInteger(cells[11]));
    row.completedTests = static_cast<int>(CellInteger(cells[12]));
    row.verdict = StoredUnitVerdict(cells[13]);
    if (cells[14]) {
        row.attempt = CellInteger(cells[14]);
    }
    row.fixture = CellText(cells[15]);
    return row;
}

}  // namespace

bool IsIsoDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return false;
    }
    for (const std::size_t digit : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[digit] < '0' || text[digit] > '9') {
            return false;
        }
    }
    const auto number = [&](std::size_t first, std::size_t count) {
        return std::stoi(text.substr(first, count));
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) {
        return false;
    }
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return !(month == 2 && day == 29 && !leap);
}

Result<void> EachHistoryRow(SqlConnection& connection, const HistoryFilter& filter,
                            std::optional<std::int64_t> limit,
                            const std::function<void(const HistoryRow&)>& take) {
    return connection.RunRowByRow(
        kHistorySql,
        {Optional(filter.serial), Optional(filter.model), Optional(filter.since),
         limit.value_or(std::numeric_limits<std::int64_t>::max())},
        [&take](const SqlRow& cells) { take(RowOf(cells)); });
}

Result<std::vector<HistoryRow>> QueryHistory(SqlConnection& connection,
                                             const HistoryFilter& filter) {
    std::vector<HistoryRow> rows;
    const Result<void> read = EachHistoryRow(
        connection, filter, std::nullopt, [&rows](const HistoryRow& row) { rows.push_back(row); });
    if (!read) {
        return Fail(read.Error());
    }
    return rows;
}

}  // namespace orvalt
