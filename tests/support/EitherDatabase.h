#pragma once
// A records test run twice, by its parameter: on a SQLite file (false) and on
// a throw-away PostgreSQL server (true), which a run outside CI without the
// server skips. A fixture that sets up more calls SetUp first and stops when
// it skipped or failed; Target() is the database to record into or read.

#include <gtest/gtest.h>

#include <optional>

#include <string>

#include "support/PgCluster.h"
#include "support/TempFolder.h"

namespace orvalt::test {

class EitherDatabase : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (!GetParam()) {
            return;
        }
        if (PostgresTestsMaySkip()) {
            GTEST_SKIP() << "Debian's postgresql is not installed";
        }
        cluster_.emplace();
        ASSERT_TRUE(cluster_->Ready()) << cluster_->Problem();
    }
    bool Stopped() const { return IsSkipped() || HasFatalFailure(); }
    // The server's URL, or a SQLite file in the test's folder.
    std::string Target() const {
        return cluster_ ? cluster_->Url() : (folder_ / "results.sqlite").string();
    }

    std::optional<PgCluster> cluster_;
    TempFolder folder_;
};

}  // namespace orvalt::test
