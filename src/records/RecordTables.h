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
};

const TableShape& RunsTable();
const TableShape& RunSettingsTable();
const TableShape& TestsTable();
const TableShape& MeasurementsTable();
const TableShape& ReadingsTable();
const TableShape& SwitchesTable();
const TableShape& DiagLinesTable();

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
