#pragma once
// Where the recorder's rows go: the results database, or while it cannot be
// written (a server away, a file locked, full or from a newer station) a local
// SQLite spool, whose rows are forwarded once the database takes writes again.
// Every write is an upsert by key, so a row forwarded twice is stored once.
// Rows go run by run: a run the database refuses for good is set aside in the
// spool, and the runs after it go on. A run is sealed with the station's key
// in the transaction that brings its end to the database (never in the
// spool). Used by one thread, the recorder's writer.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "recording/Spool.h"
#include "records/RecordTables.h"
#include "records/SqlConnection.h"
#include "seal/RunSealer.h"
#include "seal/StationKeyFiles.h"

namespace orvalt {

// Called once when the database stops taking writes (and once more when the
// spool can't take them either) and once when it takes them again, with a
// message fit for the operator; also, as reachable, for each run set aside.
using StoreHealthReport = std::function<void(bool reachable, const std::string& message)>;

struct RecordStoreOptions {
    std::string target;           // "postgresql://..." or a SQLite file
    std::filesystem::path spool;  // the local SQLite spool
    std::chrono::milliseconds retryEvery{2000};
    StoreHealthReport report;
    // The key that seals the runs; none: they are recorded unsealed. A key
    // named but unusable is reported (as reachable) once, at the start.
    StationKeyPlace stationKey{};
    // How long a closing store keeps trying a database that opens but will
    // not take the rows (WriteBacklogBeforeClosing).
    std::chrono::milliseconds closingPatience{5000};
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
    // What is lost if the store closes now, the rows in memory that neither
    // the database nor the spool took: a sentence naming their runs and why;
    // empty when every row is stored somewhere.
    std::string LossIfClosed() const;
    // What waits in memory or in the spool is sent once more before the
    // store closes, at once, and again while the database opens but will not
    // take the rows (a SQLite file another station is writing), up to
    // closingPatience: else a lock met as a station ends its lot keeps the
    // last runs out of the database until the station next starts.
    void WriteBacklogBeforeClosing();

  private:
    bool PrimaryReady();
    bool SpoolReady();
    bool ForwardSpool();
    bool ForwardRun(const SpooledRun& run);
    bool WriteHeld();
    void SetAsideHeld(std::vector<RowWrite> run, const std::string& why);
    bool SpoolHeld();
    void MarkUp();
    void MarkDown(bool spooled);
    void DropPrimary(const std::string& why);
    void TellSetAside(const std::string& uuid, const std::string& why);
    std::string HeldRuns() const;

    enum class Health { Unknown, Up, Down };

    RecordStoreOptions options_;
    RunSealer sealer_;
    std::unique_ptr<SqlConnection> primary_;
    std::unique_ptr<SqlConnection> spool_;
    std::vector<RowWrite> held_;
    std::string lastError_;
    std::string spoolError_;
    bool spoolFailureTold_ = false;
    // Runs set aside, or tried once more, since this store began: their rows
    // go to the spool, and its forward passes them by.
    std::set<std::string> aside_;
    std::chrono::steady_clock::time_point lastAttempt_{};
    bool attempted_ = false;
    bool openedLastAttempt_ = false;
    bool spoolHasRows_ = true;  // unknown until looked at: assume rows from an earlier run
    Health health_ = Health::Unknown;
};

// Why rows were not written: the database's words, and whether it refused
// them for good (SqlConnection::RefusedLastValues).
struct WriteFailure {
    std::string why;
    bool refused = false;
};

// Writes the rows in one transaction; on failure nothing of them stays. With
// a sealer, each run whose end the rows bring is sealed in it.
Result<void, WriteFailure> WriteRows(SqlConnection& connection, const std::vector<RowWrite>& rows,
                                     const RunSealer* sealer = nullptr);

// Opens a database and brings its schema up to date.
Result<std::unique_ptr<SqlConnection>> OpenRecordDatabase(const std::string& target);

}  // namespace orvalt
