#include "records/RecordTables.h"

#include <map>

namespace orvalt {

namespace {

std::string Joined(const std::vector<std::string>& names, std::size_t from, std::size_t to,
                   const std::string& pattern) {
    std::string text;
    for (std::size_t i = from; i < to; ++i) {
        if (!text.empty())
            text += ", ";
        std::string item = pattern;
        for (auto at = item.find('@'); at != std::string::npos; at = item.find('@'))
            item.replace(at, 1, names[i]);
        text += item;
    }
    return text;
}

// "($1, $2), ($3, $4)" for two rows of two columns.
std::string Placeholders(std::size_t columns, std::size_t rows) {
    std::string text;
    for (std::size_t i = 1; i <= columns * rows; ++i) {
        const bool rowStart = (i - 1) % columns == 0;
        text += std::string(i == 1 ? "(" : rowStart ? "), (" : ", ") + "$" + std::to_string(i);
    }
    return text + ")";
}

std::string BuildUpsertSql(const TableShape& table, std::size_t rows) {
    const auto& columns = table.columns;
    std::string sql = "INSERT INTO " + table.name + " (" + Joined(columns, 0, columns.size(), "@") +
                      ") VALUES " + Placeholders(columns.size(), rows) + " ON CONFLICT (" +
                      Joined(columns, 0, table.keyCount, "@") + ") DO ";
    if (table.lateColumns.empty())
        return sql + "NOTHING";
    return sql + "UPDATE SET " +
           Joined(table.lateColumns, 0, table.lateColumns.size(),
                  "@ = COALESCE(excluded.@, " + table.name + ".@)");
}

}  // namespace

const TableShape& RunsTable() {
    static const TableShape table{"runs",
                                  {"run_uuid",
                                   "started_at",
                                   "host",
                                   "operator",
                                   "fixture",
                                   "plan_name",
                                   "plan_sha256",
                                   "plan_text",
                                   "manufacturer",
                                   "model",
                                   "type",
                                   "power",
                                   "size",
                                   "driver_manufacturer",
                                   "driver_model",
                                   "serial",
                                   "ended_at",
                                   "ended_how",
                                   "end_reason",
                                   "tests_begun",
                                   "tests_completed",
                                   "tests_passed",
                                   "tests_failed"},
                                  1,
                                  {"ended_at", "ended_how", "end_reason", "tests_begun",
                                   "tests_completed", "tests_passed", "tests_failed"}};
    return table;
}

const TableShape& RunSettingsTable() {
    static const TableShape table{"run_settings", {"run_uuid", "name", "value"}, 2, {}};
    return table;
}

const TableShape& TestsTable() {
    static const TableShape table{
        "tests",
        {"run_uuid", "test_index", "plan_1", "plan_2", "plan_3", "plan_4", "plan_5", "plan_6",
         "plan_7", "plan_8", "plan_9", "mode", "started_at", "ended_at", "ended_how",
         "summary_line", "verdict", "verdict_reasons"},
        2,
        {"ended_at", "ended_how", "summary_line", "verdict", "verdict_reasons"}};
    return table;
}

const TableShape& MeasurementsTable() {
    static const TableShape table{
        "measurements", {"run_uuid", "test_index", "name", "value"}, 3, {}};
    return table;
}

const TableShape& ReadingsTable() {
    static const TableShape table{
        "readings", {"run_uuid", "seq", "test_index", "ms", "volts", "status"}, 2, {}};
    return table;
}

const TableShape& SwitchesTable() {
    static const TableShape table{
        "switches", {"run_uuid", "seq", "test_index", "ms", "line", "state"}, 2, {}};
    return table;
}

const TableShape& DiagLinesTable() {
    static const TableShape table{
        "diag_lines",
        {"run_uuid", "seq", "test_index", "ms", "raw", "field_1", "field_2", "field_3"},
        2,
        {}};
    return table;
}

const std::vector<const TableShape*>& AllRecordTables() {
    static const std::vector<const TableShape*> tables{
        &RunsTable(),     &RunSettingsTable(), &TestsTable(),    &MeasurementsTable(),
        &ReadingsTable(), &SwitchesTable(),    &DiagLinesTable()};
    return tables;
}

const std::string& UpsertSql(const TableShape& table, std::size_t rows) {
    // Every reading is one of these: build each statement once per writer thread.
    thread_local std::map<std::pair<const TableShape*, std::size_t>, std::string> built;
    auto& sql = built[{&table, rows}];
    if (sql.empty())
        sql = BuildUpsertSql(table, rows);
    return sql;
}

}  // namespace orvalt
