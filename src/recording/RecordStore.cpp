#include "recording/RecordStore.h"

#include <algorithm>
#include <thread>

#include "domain/Joined.h"
#include "records/RunAttempt.h"
#include "records/Schema.h"

namespace orvalt {

namespace {

// A full group of rows of one table from `at` on, else the single row there.
std::size_t GroupSize(const std::vector<RowWrite>& rows, std::size_t at) {
    const TableShape* table = rows[at].table;
    if (!table->lateColumns.empty() || rows.size() - at < kRowsPerInsert) {
        return 1;
    }
    for (std::size_t i = at; i < at + kRowsPerInsert; ++i) {
        if (rows[i].table != table) {
            return 1;
        }
    }
    return kRowsPerInsert;
}

// The rows split by run, each run's rows in their order, runs as they first
// appear.
std::vector<std::vector<RowWrite>> ByRun(std::vector<RowWrite> rows) {
    std::vector<std::string> order;
    std::vector<std::vector<RowWrite>> runs;
    for (RowWrite& row : rows) {
        const std::string uuid = RunOf(row);
        const auto at =
            static_cast<std::size_t>(std::find(order.begin(), order.end(), uuid) - order.begin());
        if (at == order.size()) {
            order.push_back(uuid);
            runs.emplace_back();
        }
        runs[at].push_back(std::move(row));
    }
    return runs;
}

void Append(std::vector<RowWrite>& to, std::vector<RowWrite> rows) {
    to.insert(to.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
}

// Each run of the rows gets its key first, in the same transaction as them.
Result<SqlRows> EnsureRunKeys(SqlConnection& connection, const std::vector<RowWrite>& rows) {
    Result<SqlRows> result = SqlRows{};
    std::string last;
    for (std::size_t i = 0; result && i < rows.size(); ++i) {
        if (RunOf(rows[i]) == last) {
            continue;
        }
        last = RunOf(rows[i]);
        result = EnsureRunKey(connection, last);
    }
    return result;
}

// A run's attempt is numbered where its row lands, among the runs there.
Result<SqlRows> NumberAttempts(SqlConnection& connection, const std::vector<RowWrite>& rows) {
    Result<SqlRows> result = SqlRows{};
    for (std::size_t i = 0; result && i < rows.size(); ++i) {
        if (rows[i].table == &RunsTable()) {
            result = NumberAttempt(connection, RunOf(rows[i]));
        }
    }
    return result;
}

// The runs whose end the rows bring.
std::vector<std::string> EndedRuns(const std::vector<RowWrite>& rows) {
    static const std::size_t endedHow = static_cast<std::size_t>(
        std::find(RunsTable().columns.begin(), RunsTable().columns.end(), "ended_how") -
        RunsTable().columns.begin());
    std::vector<std::string> uuids;
    for (const RowWrite& row : rows) {
        if (row.table == &RunsTable() && endedHow < row.values.size() &&
            !std::holds_alternative<std::monostate>(row.values[endedHow])) {
            uuids.push_back(RunOf(row));
        }
    }
    return uuids;
}

RunSealer SealerFor(const RecordStoreOptions& options) {
    if (options.stationKey.file.empty()) {
        return RunSealer(std::string("the station was given no key"));
    }
    Result<StationKey> key = LoadStationKey(options.stationKey);
    if (key) {
        return RunSealer(std::move(*key));
    }
    if (options.report) {
        options.report(true, "Runs are recorded without a seal: " + key.Error());
    }
    return RunSealer(key.Error());
}

}  // namespace

Result<void, WriteFailure> WriteRows(SqlConnection& connection, const std::vector<RowWrite>& rows,
                                     const RunSealer* sealer) {
    Result<SqlRows> result = connection.Begin(Transaction::Rows);
    if (result) {
        result = EnsureRunKeys(connection, rows);
    }
    for (std::size_t at = 0; result && at < rows.size();) {
        const std::size_t count = GroupSize(rows, at);
        std::vector<SqlValue> values;
        for (std::size_t i = at; i < at + count; ++i) {
            values.insert(values.end(), rows[i].values.begin(), rows[i].values.end());
        }
        result = connection.Run(UpsertSql(*rows[at].table, count), values);
        at += count;
    }
    if (result) {
        result = NumberAttempts(connection, rows);
    }
    if (result && sealer) {
        result = sealer->SealEnded(connection, EndedRuns(rows));
    }
    if (result) {
        result = connection.Run("COMMIT");
    }
    if (result) {
        return {};
    }
    const bool refused = connection.RefusedLastValues();
    RollBack(connection);
    return Fail(WriteFailure{result.Error(), refused});
}

Result<std::unique_ptr<SqlConnection>> OpenRecordDatabase(const std::string& target) {
    Result<std::unique_ptr<SqlConnection>> opened = OpenSqlConnection(target);
    if (!opened) {
        return opened;
    }
    if (const Result<int> schema = PrepareSchema(**opened); !schema) {
        return Fail(schema.Error());
    }
    return opened;
}

RecordStore::RecordStore(RecordStoreOptions options)
    : options_(std::move(options)), sealer_(SealerFor(options_)) {}

RecordStore::~RecordStore() = default;

void RecordStore::Write(std::vector<RowWrite> rows) {
    Append(held_, std::move(rows));
    if (PrimaryReady() && ForwardSpool() && WriteHeld()) {
        MarkUp();
        return;
    }
    MarkDown(SpoolHeld());
}

bool RecordStore::PrimaryReady() {
    if (primary_) {
        return true;
    }
    const auto now = std::chrono::steady_clock::now();
    if (attempted_ && now - lastAttempt_ < options_.retryEvery) {
        return false;
    }
    attempted_ = true;
    lastAttempt_ = now;
    Result<std::unique_ptr<SqlConnection>> opened = OpenRecordDatabase(options_.target);
    openedLastAttempt_ = opened.Ok();
    if (!opened) {
        lastError_ = opened.Error();
        return false;
    }
    primary_ = std::move(opened).Value();
    return true;
}

bool RecordStore::SpoolReady() {
    if (spool_) {
        return true;
    }
    Result<std::unique_ptr<SqlConnection>> opened = OpenRecordDatabase(options_.spool.string());
    if (opened) {
        if (const Result<SqlRows> prepared = PrepareSpool(**opened); !prepared) {
            spoolError_ = prepared.Error();
            return false;
        }
        spool_ = std::move(opened).Value();
        return true;
    }
    spoolError_ = opened.Error();
    return false;
}

// Run by run, those set aside behind the others and once per store; the
// spool keeps what was not forwarded.
bool RecordStore::ForwardSpool() {
    if (!spoolHasRows_) {
        return true;
    }
    if (!spool_ && !std::filesystem::exists(options_.spool)) {
        spoolHasRows_ = false;
        return true;
    }
    if (!SpoolReady()) {
        return true;  // a spool that can't be read holds nothing we can send
    }
    const Result<std::vector<SpooledRun>> runs = SpooledRuns(*spool_);
    if (!runs) {
        return true;  // looked at again at the next write
    }
    spoolHasRows_ = false;
    for (const SpooledRun& run : *runs) {
        if (run.setAside && !aside_.insert(run.uuid).second) {
            continue;
        }
        if (!ForwardRun(run)) {
            return false;
        }
    }
    return true;
}

// False when the database stopped taking writes; a run it refuses is set
// aside and the others go on. What stays in the spool is sent again later,
// and stored once.
bool RecordStore::ForwardRun(const SpooledRun& run) {
    const Result<std::vector<RowWrite>> rows = SpooledRows(*spool_, run.uuid);
    if (!rows) {
        spoolHasRows_ = true;
        return true;
    }
    const Result<void, WriteFailure> written = WriteRows(*primary_, *rows, &sealer_);
    if (written) {
        if (!RemoveForwarded(*spool_, run.uuid, *rows)) {
            spoolHasRows_ = true;
        }
        return true;
    }
    if (!written.Error().refused) {
        spoolHasRows_ = true;
        DropPrimary(written.Error().why);
        return false;
    }
    if (!run.setAside && SetAside(*spool_, run.uuid, written.Error().why)) {
        aside_.insert(run.uuid);
        TellSetAside(run.uuid, written.Error().why);
    }
    return true;
}

// Run by run; a run refused for good goes to the spool, set aside (and so do
// its later rows), and a run that found the database gone waits in memory
// with the ones after it.
bool RecordStore::WriteHeld() {
    std::vector<std::vector<RowWrite>> runs = ByRun(std::exchange(held_, {}));
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (aside_.contains(RunOf(runs[i].front()))) {
            SetAsideHeld(std::move(runs[i]), {});
            continue;
        }
        const Result<void, WriteFailure> written = WriteRows(*primary_, runs[i], &sealer_);
        if (written) {
            continue;
        }
        if (written.Error().refused) {
            SetAsideHeld(std::move(runs[i]), written.Error().why);
            continue;
        }
        for (std::size_t rest = i; rest < runs.size(); ++rest) {
            Append(held_, std::move(runs[rest]));
        }
        DropPrimary(written.Error().why);
        return false;
    }
    return true;
}

void RecordStore::SetAsideHeld(std::vector<RowWrite> run, const std::string& why) {
    const std::string uuid = RunOf(run.front());
    const bool told = aside_.contains(uuid);
    if (SpoolReady() && WriteRows(*spool_, run) && (told || SetAside(*spool_, uuid, why))) {
        if (!told) {
            aside_.insert(uuid);
            TellSetAside(uuid, why);
        }
        return;
    }
    lastError_ = why.empty() ? lastError_ : why;
    Append(held_, std::move(run));  // kept in memory, as when the database is away
}

// False when the spool can't take them: they stay in memory.
bool RecordStore::SpoolHeld() {
    if (held_.empty()) {
        return true;
    }
    if (!SpoolReady()) {
        return false;
    }
    const Result<void, WriteFailure> written = WriteRows(*spool_, held_);
    if (!written) {
        spoolError_ = written.Error().why;
        spool_.reset();
        return false;
    }
    held_.clear();
    spoolHasRows_ = true;
    return true;
}

void RecordStore::DropPrimary(const std::string& why) {
    lastError_ = why;
    primary_.reset();
    lastAttempt_ = std::chrono::steady_clock::now();
}

void RecordStore::MarkUp() {
    const bool recovered = health_ == Health::Down;
    health_ = Health::Up;
    spoolFailureTold_ = false;
    if (recovered && options_.report) {
        options_.report(true, "Results database " + primary_->Describe() +
                                  " is written again; the spooled records were forwarded.");
    }
}

// Said once when the database goes down, once more when the spool can't take
// the rows either (then they are only in memory), and again when it can.
void RecordStore::MarkDown(bool spooled) {
    const bool firstDown = health_ != Health::Down;
    health_ = Health::Down;
    if (spooled) {
        if ((firstDown || spoolFailureTold_) && options_.report) {
            options_.report(false, lastError_ + ". Records are kept in " + options_.spool.string() +
                                       " until it can be written.");
        }
        spoolFailureTold_ = false;
        return;
    }
    if (spoolFailureTold_) {
        return;
    }
    spoolFailureTold_ = true;
    if (options_.report) {
        options_.report(false, (firstDown ? lastError_ + ". " : std::string()) + "The spool " +
                                   options_.spool.string() + " can't be written either: " +
                                   spoolError_ + ". The record of " + HeldRuns() +
                                   " is held in memory only, and is lost if the "
                                   "station closes before one of them can be written.");
    }
}

void RecordStore::TellSetAside(const std::string& uuid, const std::string& why) {
    if (options_.report) {
        options_.report(true, why + ". The record of run " + uuid + " is set aside in " +
                                  options_.spool.string() + "; the runs after it go on.");
    }
}

std::string RecordStore::HeldRuns() const {
    std::vector<std::string> uuids;
    for (const RowWrite& row : held_) {
        if (const std::string uuid = RunOf(row);
            std::find(uuids.begin(), uuids.end(), uuid) == uuids.end()) {
            uuids.push_back(uuid);
        }
    }
    return (uuids.size() == 1 ? "run " : "runs ") + Joined(uuids);
}

void RecordStore::WriteBacklogBeforeClosing() {
    constexpr std::chrono::milliseconds kPause{250};
    const auto deadline = std::chrono::steady_clock::now() + options_.closingPatience;
    while (HasBacklog()) {
        attempted_ = false;  // the retry pace no longer applies
        Write({});
        if (!HasBacklog() || !openedLastAttempt_ ||
            std::chrono::steady_clock::now() + kPause > deadline) {
            return;
        }
        std::this_thread::sleep_for(kPause);
    }
}

std::string RecordStore::LossIfClosed() const {
    if (held_.empty()) {
        return {};
    }
    return "The record of " + HeldRuns() + " was lost: " + lastError_ + ", and the spool " +
           options_.spool.string() + " can't be written either: " + spoolError_ + ".";
}

}  // namespace orvalt
