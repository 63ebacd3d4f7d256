#pragma once
// A records test run twice, by its parameter: on a SQLite file (false) and on
// a throw-away PostgreSQL server (true), which a run outside CI without the
// server skips. A fixture that sets up more calls SetUp first and stops when
// it skipped or failed.

#include <gtest/gtest.h>

#include <optional>

#include "support/PgCluster.h"

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

    std::optional<PgCluster> cluster_;
};

}  // namespace orvalt::test
