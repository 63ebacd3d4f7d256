#pragma once
// One connection to a results database, SQLite or PostgreSQL, seen through the
// few calls the records need: run one statement with positional parameters ($1,
// $2, ...) and get its rows back as texts. The schema, the writes and the
// queries are written once, in the SQL both databases speak.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/Result.h"

namespace orvalt {

// Bytes kept as they are (a compressed trace block): a BLOB in SQLite, a
// BYTEA on a server. Read back, the cell holds the same bytes.
struct SqlBytes {
    std::string bytes;
};

using SqlValue = std::variant<std::monostate, std::int64_t, double, std::string, SqlBytes>;
using SqlCell = std::optional<std::string>;  // empty: NULL
using SqlRow = std::vector<SqlCell>;
using SqlRows = std::vector<SqlRow>;
// Takes one row of an answer; the row is its own to keep or drop.
using SqlRowTaker = std::function<void(SqlRow)>;

// What a transaction is for. Rows: it writes records, and takes its place
// among the other writers at once rather than failing half-way when one of
// them wrote first. Schema: it creates or migrates the schema, which one
// connection at a time does; the others wait for it and then find it done.
enum class Transaction { Rows, Schema };

// Where the shared SQL ends: a key the database numbers itself is declared
// differently.
enum class SqlDialect { Sqlite, Postgres };

class SqlConnection {
  public:
    virtual ~SqlConnection() = default;
    // The statement's rows, or why it failed, naming the database. Texts go
    // in and come out as StoredText.h keeps them: any bytes, read back exactly.
    virtual Result<SqlRows> Run(std::string_view sql, const std::vector<SqlValue>& params = {}) = 0;
    // The statement's rows handed to `take` one by one as the database yields
    // them, so that an answer of any length is read in the memory of one row.
    // Rows handed before a failure stay handed; the failure is then returned.
    // `take` must not use this connection: the statement is still running.
    virtual Result<void> RunRowByRow(std::string_view sql, const std::vector<SqlValue>& params,
                                     const SqlRowTaker& take) = 0;
    // Opens a transaction of that kind; COMMIT or RollBack ends it.
    virtual Result<SqlRows> Begin(Transaction kind) = 0;
    // Whether the last statement that failed was refused for the values it
    // carried (a constraint, a value out of range or too big): the database
    // works and takes other rows, but never these. Otherwise it failed for the
    // database's state (away, locked, full, read-only) and may go later.
    virtual bool RefusedLastValues() const = 0;
    // The database in words for messages: its file, or the server and database.
    virtual std::string Describe() const = 0;
    virtual SqlDialect Dialect() const = 0;
};

// A "postgresql://" or "postgres://" URL opens a server connection; a text
// that only looks like a URL is refused; anything else is the path of a SQLite
// file, created with its folder when missing.
Result<std::unique_ptr<SqlConnection>> OpenSqlConnection(const std::string& target);
// The same database opened to read only: a server session that can't write,
// or a SQLite file that must exist (an empty pointer when it does not).
Result<std::unique_ptr<SqlConnection>> OpenSqlConnectionToRead(const std::string& target);

// The cell as a number; 0 for NULL or text that is no number.
double CellNumber(const SqlCell& cell);
// The cell as a number only when the whole of it is one, as either database
// writes numbers (a server's "Infinity" and "NaN" too: from_chars reads
// them); none for NULL or text.
std::optional<double> CellReal(const SqlCell& cell);
std::int64_t CellInteger(const SqlCell& cell);
std::string CellText(const SqlCell& cell);

// Undoes the open transaction. Its own failure is not reported: the failure
// that called for it is.
void RollBack(SqlConnection& connection);

// Hands each row to `take`, or says why the statement failed.
template <class Take>
Result<void> EachRow(const Result<SqlRows>& rows, Take take) {
    if (!rows) {
        return Fail(rows.Error());
    }
    for (const SqlRow& row : *rows) {
        take(row);
    }
    return {};
}

// Each row made into a T, or why the statement failed.
template <class T, class Make>
Result<std::vector<T>> RowsAs(const Result<SqlRows>& rows, Make make) {
    if (!rows) {
        return Fail(rows.Error());
    }
    std::vector<T> made;
    for (const SqlRow& row : *rows) {
        made.push_back(make(row));
    }
    return made;
}

// A statement's or parameter's numbered name: "s3", "$1".
std::string NumberedName(char prefix, std::size_t number);

}  // namespace orvalt
