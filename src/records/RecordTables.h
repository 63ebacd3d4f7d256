#pragma once
// The tables records go into, described once: every write is an upsert keyed
// by the table's key columns, so writing the same row twice (a batch forwarded
// again after a crash) changes nothing, and a row that already exists only
// takes the end-of-run or end-of-test columns it did not have yet.

#include <string>
#include <vector>

#include "records/SqlConnection.h"

namespace orvalt {

struct TableShape {
    std::string name;
    std::vector<std::string> columns;  // the key columns come first
    std::size_t keyCount = 1;
    // Columns a later write may fill in (how a run or test ended); the others
    // keep what the first write stored.
    std::vector<std::string> lateColumns;
    // The first column is run_id, the run's small key (run_keys): a row to
    // write holds the run's UUID there, which the statement looks the key up by.
    bool keyedByRun = true;
    // The column that holds bytes (SqlBytes) rather than text; empty: none.
    std::string bytesColumn;
};

const TableShape& RunsTable();
const TableShape& RunSettingsTable();
const TableShape& TestsTable();
const TableShape& MeasurementsTable();
const TableShape& ReadingBlocksTable();
const TableShape& SwitchesTable();
const TableShape& DiagBlocksTable();
const TableShape& AlarmsTable();
// A person's acknowledgement of an alarm, written by orvalt-cli alarms --ack
// straight to the database (no spool: the command says when it can't).
const TableShape& AlarmAcksTable();

// run_keys numbers the runs: run_id for each run_uuid, kept once. Gives the
// run its key when it has none yet; part of every write of its rows.
Result<SqlRows> EnsureRunKey(SqlConnection& connection, const std::string& uuid);

// "(SELECT run_id FROM run_keys WHERE run_uuid = $n)": the key of the run the
// parameter (or column) names, in the schema given (such as "main.").
std::string RunKeyOf(const std::string& parameter, const std::string& schema = {});

// What selects column `i` of the table for copying a row out: its name, but
// the run's UUID for run_id (the table aliased as t, run_keys as k).
std::string ColumnAsWritten(const TableShape& table, std::size_t i);
// "FROM <table> t JOIN run_keys k ON k.run_id = t.run_id" (without the join
// for runs, whose own column is the UUID).
std::string FromWithRunUuid(const TableShape& table, const std::string& schema = {});
// "SELECT run_uuid FROM runs UNION ...": the UUID of every run with a row in
// any table.
std::string RunsWithRowsSql();

// Every table, parents before children.
const std::vector<const TableShape*>& AllRecordTables();

// INSERT ... ON CONFLICT (key) DO NOTHING, or DO UPDATE of the late columns,
// for `rows` rows at once.
const std::string& UpsertSql(const TableShape& table, std::size_t rows = 1);

// Rows of a table without late columns go in groups of this many: one round
// trip to a server instead of one a row. (A table with late columns may hold
// the same key twice in a batch, which one statement may not update twice.)
constexpr std::size_t kRowsPerInsert = 64;

// One row to write, its values in the table's column order.
struct RowWrite {
    const TableShape* table = nullptr;
    std::vector<SqlValue> values;
};

}  // namespace orvalt
