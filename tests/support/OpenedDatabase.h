#pragma once
// Either database (EitherDatabase), opened with the records' schema before
// each test, for tests that store their crafted rows themselves.

#include <memory>

#include "recording/RecordStore.h"
#include "records/SqlConnection.h"
#include "support/EitherDatabase.h"

namespace orvalt::test {

class OpenedDatabase : public EitherDatabase {
  protected:
    void SetUp() override {
        EitherDatabase::SetUp();
        if (Stopped()) {
            return;
        }
        auto opened = OpenRecordDatabase(Target());
        ASSERT_TRUE(opened.Ok()) << opened.Error();
        db_ = std::move(opened).Value();
    }

    std::unique_ptr<SqlConnection> db_;
};

}  // namespace orvalt::test
