#pragma once
// A throw-away PostgreSQL server for the records tests: a fresh cluster in a
// temporary folder, owned and run by the unprivileged "postgres" account (the
// server refuses root), listening only on a Unix socket in that folder. Stop
// and Start let a test take it away in the middle of a recording.

#include <filesystem>
#include <string>

#include "support/TempFolder.h"

namespace orvalt::test {

class PgCluster {
  public:
    PgCluster();   // initdb and start; Ready() tells whether it worked
    ~PgCluster();  // stops the server; the folder goes with it
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    bool Ready() const { return ready_; }
    const std::string& Problem() const { return problem_; }
    bool Start();
    bool Stop();
    // postgresql://orvalt@/postgres?host=<folder>
    std::string Url(const std::string& user = "orvalt") const;
    // Runs SQL through psql and returns its unaligned output.
    std::string Query(const std::string& sql) const;

  private:
    bool AsPostgres(const std::string& command) const;

    TempFolder folder_;
    std::filesystem::path bin_;
    bool ready_ = false;
    bool running_ = false;
    std::string problem_;
};

// True when Debian's PostgreSQL server programs are installed.
bool PostgresInstalled();

// True when a PostgreSQL test may skip: the server programs are missing and
// this is not a CI run (CI=true), where a missing server is a failure.
bool PostgresTestsMaySkip();

}  // namespace orvalt::test

// In a GoogleTest test: stops it unless the cluster runs, with a skip where
// that is allowed (not in CI) and a failure otherwise.
#define ORVALT_NEED_CLUSTER(cluster)                                \
    if (!(cluster).Ready()) {                                       \
        if (orvalt::test::PostgresTestsMaySkip()) {                 \
            GTEST_SKIP() << "Debian's postgresql is not installed"; \
        }                                                           \
        FAIL() << (cluster).Problem();                              \
    }
