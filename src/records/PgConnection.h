#pragma once
// A PostgreSQL results server reached through libpq, by a "postgresql://" URL.

#include <map>
#include <memory>
#include <string>

#include "domain/DatabaseUrl.h"
#include "records/SqlConnection.h"

struct pg_conn;

namespace orvalt {

// A reader's session is read-only on the server's side too.
enum class PgAccess { ReadWrite, ReadOnly };

class PgConnection final : public SqlConnection {
  public:
    // Connects at once; a server that is down or refuses the login is a
    // message, not a connection.
    static Result<std::unique_ptr<SqlConnection>> Open(const ServerUrl& url,
                                                       PgAccess access = PgAccess::ReadWrite);
    PgConnection(pg_conn* connection, std::string where);
    ~PgConnection() override;
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    Result<SqlRows> Run(std::string_view sql, const std::vector<SqlValue>& params = {}) override;
    Result<void> RunRowByRow(std::string_view sql, const std::vector<SqlValue>& params,
                             const SqlRowTaker& take) override;
    Result<SqlRows> Begin(Transaction kind) override;
    bool RefusedLastValues() const override { return refused_; }
    std::string Describe() const override;
    SqlDialect Dialect() const override { return SqlDialect::Postgres; }

  private:
    // The server's name of the statement, prepared on its first use: the same
    // few inserts run for every batch.
    Result<const std::string*> PreparedName(const std::string& sql);
    Failure<std::string> Failed(const char* sqlState = nullptr);
    Result<void> TakeRows(const SqlRowTaker& take);

    pg_conn* connection_;
    std::string where_;
    std::map<std::string, std::string, std::less<>> prepared_;
    bool refused_ = false;
};

}  // namespace orvalt
