#pragma once
// A SQLite results file: write-ahead log, a busy wait for a file another
// station holds, and prepared statements kept for reuse, since the same few
// inserts run for every reading.

#include <filesystem>
#include <map>
#include <memory>

#include "records/SqlConnection.h"

struct sqlite3;
struct sqlite3_stmt;

namespace orvalt {

class SqliteConnection final : public SqlConnection {
  public:
    // Opens the file to write, creating it and its folder when missing. Only
    // a regular file is opened (RecordsFile.h): anything else is refused.
    static Result<std::unique_ptr<SqlConnection>> Open(const std::filesystem::path& file);
    // Opens the file to read only, creating nothing; an empty pointer when
    // there is no such file, a refusal when it is not a regular file.
    static Result<std::unique_ptr<SqlConnection>> OpenToRead(const std::filesystem::path& file);
    // Takes over an open handle; Open is the way in.
    SqliteConnection(sqlite3* db, std::filesystem::path file);
    ~SqliteConnection() override;
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    Result<SqlRows> Run(std::string_view sql, const std::vector<SqlValue>& params = {}) override;
    Result<void> RunRowByRow(std::string_view sql, const std::vector<SqlValue>& params,
                             const SqlRowTaker& take) override;
    Result<SqlRows> Begin(Transaction kind) override;
    bool RefusedLastValues() const override { return refused_; }
    std::string Describe() const override;
    SqlDialect Dialect() const override { return SqlDialect::Sqlite; }

  private:
    // Puts the file in write-ahead-log mode, waiting out another station's
    // hold on it as any write would.
    Result<void> UseWriteAheadLog();
    Result<sqlite3_stmt*> Prepared(std::string_view sql);
    Result<void> Bind(sqlite3_stmt* statement, const std::vector<SqlValue>& params);
    Result<void> Steps(sqlite3_stmt* statement, const SqlRowTaker& take);
    Failure<std::string> Failed();

    sqlite3* db_;
    std::filesystem::path file_;
    std::map<std::string, sqlite3_stmt*, std::less<>> statements_;
    bool refused_ = false;
};

}  // namespace orvalt
