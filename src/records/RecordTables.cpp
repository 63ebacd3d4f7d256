#include "records/RecordTables.h"

#include <map>

#include "domain/Joined.h"

namespace orvalt {

namespace {

std::string Joined(const std::vector<std::string>& names, std::size_t from, std::size_t to,
                   const std::string& pattern) {
    std::string text;
    for (std::size_t i = from; i < to; ++i) {
        if (!text.empty()) {
            text += ", ";
        }
        std::string item = pattern;
        for (auto at = item.find('@'); at != std::string::npos; at = item.find('@')) {
            item.replace(at, 1, names[i]);
        }
        text += item;
    }
    return text;
}

// "($1, $2), ($3, $4)" for two rows of two columns; a run's key is looked up
// by the UUID its parameter carries.
std::string Placeholders(const TableShape& table, std::size_t rows) {
    const std::size_t columns = table.columns.size();
    std::string text;
    for (std::size_t i = 1; i <= columns * rows; ++i) {
        const bool rowStart = (i - 1) % columns == 0;
        const std::string parameter = NumberedName('$', i);
        text += std::string(i == 1     ? "("
                            : rowStart ? "), ("
                                       : ", ") +
                (rowStart && table.keyedByRun ? RunKeyOf(parameter) : parameter);
    }
    return text + ")";
}

std::string BuildUpsertSql(const TableShape& table, std::size_t rows) {
    const auto& columns = table.columns;
    std::string sql = "INSERT INTO " + table.name + " (" + Joined(columns, 0, columns.size(), "@") +
                      ") VALUES " + Placeholders(table, rows) + " ON CONFLICT (" +
                      Joined(columns, 0, table.keyCount, "@") + ") DO ";
    if (table.lateColumns.empty()) {
        return sql + "NOTHING";
    }
    return sql + "UPDATE SET " +
           Joined(table.lateColumns, 0, table.lateColumns.size(),
                  "@ = COALESCE(excluded.@, " + table.name + ".@)");
}

}  // namespace

Result<SqlRows> EnsureRunKey(SqlConnection& connection, const std::string& uuid) {
    return connection.Run(
        "INSERT INTO run_keys (run_uuid) VALUES ($1) ON CONFLICT (run_uuid)"
        " DO NOTHING",
        {uuid});
}

std::string RunKeyOf(const std::string& parameter, const std::string& schema) {
    return "(SELECT run_id FROM " + schema + "run_keys WHERE run_uuid = " + parameter + ")";
}

std::string ColumnAsWritten(const TableShape& table, std::size_t i) {
    return i == 0 && table.keyedByRun ? "k.run_uuid" : "t." + table.columns[i];
}

std::string FromWithRunUuid(const TableShape& table, const std::string& schema) {
    const std::string from = "FROM " + schema + table.name + " t";
    return table.keyedByRun ? from + " JOIN " + schema + "run_keys k ON k.run_id = t.run_id" : from;
}

std::string RunsWithRowsSql() {
    std::vector<std::string> selects;
    for (const TableShape* table : AllRecordTables()) {
        selects.push_back("SELECT " + ColumnAsWritten(*table, 0) + " " + FromWithRunUuid(*table));
    }
    return Joined(selects, " UNION ");
}

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
                                   "tests_failed",
                                   "login",
                                   "lot",
                                   "limits_name",
                                   "limits_sha256",
                                   "limits_text",
                                   "program_version",
                                   "u3_serial",
                                   "u3_firmware",
                                   "verdict"},
                                  1,
                                  {"ended_at", "ended_how", "end_reason", "tests_begun",
                                   "tests_completed", "tests_passed", "tests_failed", "verdict"},
                                  false,
                                  {}};
    return table;
}

const TableShape& RunSettingsTable() {
    static const TableShape table{"run_settings", {"run_id", "name", "value"}, 2, {}, true, {}};
    return table;
}

const TableShape& TestsTable() {
    static const TableShape table{
        "tests",
        {"run_id", "test_index", "plan_1", "plan_2", "plan_3", "plan_4", "plan_5", "plan_6",
         "plan_7", "plan_8", "plan_9", "mode", "started_at", "ended_at", "ended_how",
         "summary_line", "verdict", "verdict_reasons"},
        2,
        {"ended_at", "ended_how", "summary_line", "verdict", "verdict_reasons"},
        true,
        {}};
    return table;
}

const TableShape& MeasurementsTable() {
    static const TableShape table{"measurements",
                                  {"run_id", "test_index", "name", "value", "unit", "decimals",
                                   "min_value", "max_value", "outcome"},
                                  3,
                                  {},
                                  true,
                                  {}};
    return table;
}

const TableShape& ReadingBlocksTable() {
    static const TableShape table{"reading_blocks",
                                  {"run_id", "first_seq", "test_index", "reading_count", "block"},
                                  2,
                                  {},
                                  true,
                                  "block"};
    return table;
}

const TableShape& SwitchesTable() {
    static const TableShape table{
        "switches", {"run_id", "seq", "test_index", "ms", "line", "state"}, 2, {}, true, {}};
    return table;
}

const TableShape& DiagBlocksTable() {
    static const TableShape table{
        "diag_blocks", {"run_id", "first_seq", "test_index", "line_count", "block"}, 2, {}, true,
        "block"};
    return table;
}

const TableShape& AlarmsTable() {
    static const TableShape table{
        "alarms",
        {"run_id", "test_index", "measurement", "rule", "side", "text", "raised_at", "pooled"},
        4,
        {},
        true,
        {}};
    return table;
}

const TableShape& AlarmAcksTable() {
    static const TableShape table{
        "alarm_acks",
        {"run_id", "test_index", "measurement", "rule", "acked_at", "acked_by", "host", "note"},
        4,
        {},
        true,
        {}};
    return table;
}

const std::vector<const TableShape*>& AllRecordTables() {
    static const std::vector<const TableShape*> tables{
        &RunsTable(),          &RunSettingsTable(), &TestsTable(),      &MeasurementsTable(),
        &ReadingBlocksTable(), &SwitchesTable(),    &DiagBlocksTable(), &AlarmsTable()};
    return tables;
}

const std::string& UpsertSql(const TableShape& table, std::size_t rows) {
    // Every reading is one of these: build each statement once per writer thread.
    thread_local std::map<std::pair<const TableShape*, std::size_t>, std::string> built;
    auto& sql = built[{&table, rows}];
    if (sql.empty()) {
        sql = BuildUpsertSql(table, rows);
    }
    return sql;
}

}  // namespace orvalt
