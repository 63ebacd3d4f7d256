#pragma once
// One connection to a results database, SQLite or PostgreSQL, seen through the
// few calls the records need: run one statement with positional parameters ($1,
// $2, ...) and get its rows back as texts. The schema, the writes and the
// queries are written once, in the SQL both databases speak.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvalt {

using SqlValue = std::variant<std::monostate, std::int64_t, double, std::string>;
using SqlCell = std::optional<std::string>;  // empty: NULL
using SqlRow = std::vector<SqlCell>;

struct SqlResult {
    bool ok = true;
    std::string message;  // why, when not ok; names the database
    std::vector<SqlRow> rows;
};

class SqlConnection {
  public:
    virtual ~SqlConnection() = default;
    virtual SqlResult Run(std::string_view sql, const std::vector<SqlValue>& params = {}) = 0;
    // The database in words for messages: its file, or the server and database.
    virtual std::string Describe() const = 0;
};

struct SqlOpenResult {
    std::unique_ptr<SqlConnection> connection;  // empty on failure
    std::string message;
};

// A "postgresql://" or "postgres://" URL opens a server connection; anything
// else is the path of a SQLite file, created with its folder when missing.
SqlOpenResult OpenSqlConnection(const std::string& target);
bool IsServerUrl(std::string_view target);

// The cell as a number; 0 for NULL or text that is no number.
double CellNumber(const SqlCell& cell);
std::int64_t CellInteger(const SqlCell& cell);
std::string CellText(const SqlCell& cell);

// A statement's or parameter's numbered name: "s3", "$1".
std::string NumberedName(char prefix, std::size_t number);

}  // namespace orvalt
