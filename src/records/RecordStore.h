#pragma once
// Where the recorder's rows go: the results database, or while it cannot be
// written (a server away, a file locked, full or from a newer station) a local
// SQLite spool, whose rows are forwarded once the database takes writes again.
// Every write is an upsert by key, so a row forwarded twice is stored once.
// Used by one thread, the recorder's writer.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "records/RecordTables.h"
#include "records/SqlConnection.h"

namespace orvalt {

// Called once when the database stops taking writes and once when it takes
// them again, with a message fit for the operator.
using StoreHealthReport = std::function<void(bool reachable, const std::string& message)>;

struct RecordStoreOptions {
    std::string target;           // "postgresql://..." or a SQLite file
    std::filesystem::path spool;  // the local SQLite spool
    std::chrono::milliseconds retryEvery{2000};
    StoreHealthReport report;
};

class RecordStore {
  public:
    explicit RecordStore(RecordStoreOptions options);
    ~RecordStore();

    // Stores the rows in the database, else in the spool, else keeps them in
    // memory for the next write.
    void Write(std::vector<RowWrite> rows);
    std::size_t HeldRows() const { return held_.size(); }
    // Rows wait in memory or in the spool: worth a write with nothing new.
    bool HasBacklog() const { return !held_.empty() || health_ == Health::Down; }
    const RecordStoreOptions& Options() const { return options_; }

  private:
    bool PrimaryReady();
    bool SpoolReady();
    bool ForwardSpool();
    void MarkUp();
    void MarkDown(const std::string& why);
    void DropPrimary(const std::string& why);

    enum class Health { Unknown, Up, Down };

    RecordStoreOptions options_;
    std::unique_ptr<SqlConnection> primary_;
    std::unique_ptr<SqlConnection> spool_;
    std::vector<RowWrite> held_;
    std::string lastError_;
    std::chrono::steady_clock::time_point lastAttempt_{};
    bool attempted_ = false;
    bool spoolHasRows_ = true;  // unknown until looked at: assume rows from an earlier run
    Health health_ = Health::Unknown;
};

// Writes the rows in one transaction; on failure nothing of them stays.
Result<void> WriteRows(SqlConnection& connection, const std::vector<RowWrite>& rows);

// Opens a database and brings its schema up to date.
Result<std::unique_ptr<SqlConnection>> OpenRecordDatabase(const std::string& target);

}  // namespace orvalt
