#include "reading/History.h"

#include <cstdint>
#include <limits>
#include <string>

#include "reading/RunLoad.h"

namespace orvalt {

namespace {

// The tests are counted from the run's own tally, so the rows come in the
// order of the start index, one by one, with nothing to gather first.
constexpr const char* kHistorySelect =
    "SELECT r.run_uuid, r.started_at, r.ended_at, r.ended_how, r.host, r.operator,"
    " r.manufacturer, r.model, r.driver_model, r.serial, r.plan_name,"
    " COALESCE(r.tests_begun, 0), COALESCE(r.tests_completed, 0), r.verdict, r.attempt,"
    " r.fixture"
    " FROM runs r WHERE 1 = 1";

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

Result<void> EachHistoryRow(SqlConnection& connection, const RunFilter& filter,
                            std::optional<std::int64_t> limit,
                            const std::function<void(const HistoryRow&)>& take) {
    std::vector<SqlValue> params;
    std::string sql = kHistorySelect + RunFilterSql(filter, params);
    params.emplace_back(limit.value_or(std::numeric_limits<std::int64_t>::max()));
    sql += std::string(" ORDER BY r.started_at DESC, r.run_uuid LIMIT $") +
           std::to_string(params.size());
    return connection.RunRowByRow(sql, params,
                                  [&take](const SqlRow& cells) { take(RowOf(cells)); });
}

Result<std::vector<std::string>> FilteredRunUuids(SqlConnection& connection,
                                                  const RunFilter& filter) {
    std::vector<SqlValue> params;
    const Result<SqlRows> rows =
        connection.Run(std::string("SELECT r.run_uuid FROM runs r WHERE 1 = 1") +
                           RunFilterSql(filter, params) + " ORDER BY r.started_at, r.run_uuid",
                       params);
    if (!rows) {
        return Fail(rows.Error());
    }
    std::vector<std::string> uuids;
    uuids.reserve(rows->size());
    for (const SqlRow& row : *rows) {
        uuids.push_back(CellText(row[0]));
    }
    return uuids;
}

Result<std::vector<HistoryRow>> QueryHistory(SqlConnection& connection, const RunFilter& filter) {
    std::vector<HistoryRow> rows;
    const Result<void> read = EachHistoryRow(
        connection, filter, std::nullopt, [&rows](const HistoryRow& row) { rows.push_back(row); });
    if (!read) {
        return Fail(read.Error());
    }
    return rows;
}

}  // namespace orvalt
