#include "recording/Spool.h"

#include <map>
#include <set>

#include "domain/Joined.h"

namespace orvalt {

namespace {

SqlValue CellValue(const SqlCell& cell, bool bytes) {
    if (!cell) {
        return SqlValue();
    }
    return bytes ? SqlValue(SqlBytes{*cell}) : SqlValue(*cell);
}

// The row as written: the run's UUID where the table keeps its key.
std::string RowsOfRunSql(const TableShape& table) {
    std::vector<std::string> columns;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        columns.push_back(ColumnAsWritten(table, i));
    }
    return "SELECT " + Joined(columns) + " " + FromWithRunUuid(table) + " WHERE " +
           ColumnAsWritten(table, 0) + " = $1";
}

std::size_t ColumnIndex(const TableShape& table, const std::string& name) {
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        if (table.columns[i] == name) {
            return i;
        }
    }
    return 0;
}

// The columns a row is matched by before it goes: its key, and the late
// columns, which another process may have filled in since the row was read.
const std::vector<std::size_t>& MatchedColumns(const TableShape& table) {
    thread_local std::map<const TableShape*, std::vector<std::size_t>> built;
    auto& columns = built[&table];
    if (columns.empty()) {
        for (std::size_t i = 0; i < table.keyCount; ++i) {
            columns.push_back(i);
        }
        for (const std::string& late : table.lateColumns) {
            columns.push_back(ColumnIndex(table, late));
        }
    }
    return columns;
}

const std::string& RemoveSql(const TableShape& table) {
    thread_local std::map<const TableShape*, std::string> built;
    auto& sql = built[&table];
    if (sql.empty()) {
        const auto& columns = MatchedColumns(table);
        sql = "DELETE FROM " + table.name + " WHERE ";
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const std::string parameter = NumberedName('$', i + 1);
            const bool runKey = columns[i] == 0 && table.keyedByRun;
            sql += (i ? " AND " : "") + table.columns[columns[i]] + " IS " +
                   (runKey ? RunKeyOf(parameter) : parameter);
        }
    }
    return sql;
}

Result<SqlRows> RemoveRow(SqlConnection& spool, const RowWrite& row) {
    std::vector<SqlValue> values;
    for (const std::size_t column : MatchedColumns(*row.table)) {
        values.push_back(row.values[column]);
    }
    return spool.Run(RemoveSql(*row.table), values);
}

}  // namespace

std::string RunOf(const RowWrite& row) {
    const auto* uuid = row.values.empty() ? nullptr : std::get_if<std::string>(&row.values[0]);
    return uuid ? *uuid : std::string();
}

Result<SqlRows> PrepareSpool(SqlConnection& spool) {
    return spool.Run(
        "CREATE TABLE IF NOT EXISTS spool_set_aside (run_uuid TEXT PRIMARY KEY, why TEXT)");
}

Result<std::vector<SpooledRun>> SpooledRuns(SqlConnection& spool) {
    std::set<std::string> aside;
    const auto marked = EachRow(spool.Run("SELECT run_uuid FROM spool_set_aside"),
                                [&](const SqlRow& row) { aside.insert(CellText(row[0])); });
    if (!marked) {
        return Fail(marked.Error());
    }
    std::vector<SpooledRun> first, last;
    const auto listed = EachRow(spool.Run(RunsWithRowsSql()), [&](const SqlRow& row) {
        const std::string uuid = CellText(row[0]);
        (aside.contains(uuid) ? last : first).push_back({uuid, aside.contains(uuid)});
    });
    if (!listed) {
        return Fail(listed.Error());
    }
    first.insert(first.end(), last.begin(), last.end());
    return first;
}

Result<std::vector<RowWrite>> SpooledRows(SqlConnection& spool, const std::string& uuid) {
    std::vector<RowWrite> rows;
    for (const TableShape* table : AllRecordTables()) {
        const auto read = EachRow(spool.Run(RowsOfRunSql(*table), {uuid}), [&](const SqlRow& row) {
            RowWrite write{table, {}};
            for (std::size_t i = 0; i < row.size(); ++i) {
                write.values.push_back(CellValue(row[i], table->columns[i] == table->bytesColumn));
            }
            rows.push_back(std::move(write));
        });
        if (!read) {
            return Fail(read.Error());
        }
    }
    return rows;
}

Result<SqlRows> RemoveForwarded(SqlConnection& spool, const std::string& uuid,
                                const std::vector<RowWrite>& rows) {
    Result<SqlRows> result = spool.Begin(Transaction::Rows);
    for (std::size_t i = 0; result && i < rows.size(); ++i) {
        result = RemoveRow(spool, rows[i]);
    }
    if (result) {
        result = spool.Run("DELETE FROM spool_set_aside WHERE run_uuid = $1", {uuid});
    }
    if (result) {
        return spool.Run("COMMIT");
    }
    RollBack(spool);
    return result;
}

Result<SqlRows> SetAside(SqlConnection& spool, const std::string& uuid, const std::string& why) {
    return spool.Run(
        "INSERT INTO spool_set_aside (run_uuid, why) VALUES ($1, $2)"
        " ON CONFLICT (run_uuid) DO UPDATE SET why = excluded.why",
        {uuid, why});
}

}  // namespace orvalt
