#include "records/SqliteConnection.h"

#include <sqlite3.h>

#include <charconv>
#include <cstdio>
#include <system_error>

#include "records/RecordsFile.h"
#include "records/StoredText.h"

namespace orvalt {

namespace {

constexpr int kBusyWaitMs = 2000;
constexpr int kModeSwitchPauseMs = 10;

SqlCell ColumnCell(sqlite3_stmt* statement, int column) {
    const int type = sqlite3_column_type(statement, column);
    if (type == SQLITE_NULL) {
        return std::nullopt;
    }
    if (type == SQLITE_INTEGER) {
        char text[24];
        const auto written =
            std::to_chars(text, text + sizeof text, sqlite3_column_int64(statement, column));
        return std::string(text, written.ptr);
    }
    if (type == SQLITE_FLOAT) {
        // The shortest text that reads back as the same double: a value copied
        // out through its text comes back the same, and a million of them are
        // written several times faster than with every digit printed.
        char text[40];
        const auto written =
            std::to_chars(text, text + sizeof text, sqlite3_column_double(statement, column));
        return std::string(text, written.ptr);
    }
    const auto* text = sqlite3_column_text(statement, column);
    const int bytes = sqlite3_column_bytes(statement, column);
    const std::string_view cell(reinterpret_cast<const char*>(text),
                                static_cast<std::size_t>(bytes));
    return type == SQLITE_TEXT ? TextFromStored(cell) : std::string(cell);
}

SqlRow CurrentRow(sqlite3_stmt* statement) {
    SqlRow row;
    const int columns = sqlite3_column_count(statement);
    row.reserve(static_cast<std::size_t>(columns));
    for (int column = 0; column < columns; ++column) {
        row.push_back(ColumnCell(statement, column));
    }
    return row;
}

int BindOne(sqlite3_stmt* statement, int index, const SqlValue& value) {
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        return sqlite3_bind_int64(statement, index, *number);
    }
    if (const auto* real = std::get_if<double>(&value)) {
        return sqlite3_bind_double(statement, index, *real);
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
        const std::string stored = StoredText(*text);
        return sqlite3_bind_text(statement, index, stored.data(), static_cast<int>(stored.size()),
                                 SQLITE_TRANSIENT);
    }
    if (const auto* blob = std::get_if<SqlBytes>(&value)) {
        return sqlite3_bind_blob64(statement, index, blob->bytes.data(), blob->bytes.size(),
                                   SQLITE_TRANSIENT);
    }
    return sqlite3_bind_null(statement, index);
}

// A kept statement between its binding and its last step: whatever the way
// out, it is reset and unbound for its next use, and no read stays open.
class StatementInUse {
  public:
    explicit StatementInUse(sqlite3_stmt* statement) : statement_(statement) {}
    ~StatementInUse() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    StatementInUse(const StatementInUse&) = delete;
    StatementInUse& operator=(const StatementInUse&) = delete;

  private:
    sqlite3_stmt* statement_;
};

// The file as a SQLite URI that takes it as it is: the file's content never
// changes while it is read, so no lock or shared-memory file is needed.
std::string ImmutableUri(const std::filesystem::path& file) {
    std::string uri = "file:";
    for (const char c : std::filesystem::absolute(file).string()) {
        if (c == '?' || c == '#' || c == '%') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            uri += escaped;
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

Result<sqlite3*> OpenHandle(const std::filesystem::path& file, const std::string& name, int flags) {
    sqlite3* db = nullptr;
    const int code = sqlite3_open_v2(name.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code == SQLITE_OK) {
        sqlite3_busy_timeout(db, kBusyWaitMs);
        return db;
    }
    std::string message = "Results database " + file.string() + ": " +
                          (db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
    sqlite3_close(db);
    return Fail(std::move(message));
}

}  // namespace

Result<std::unique_ptr<SqlConnection>> SqliteConnection::OpenToRead(
    const std::filesystem::path& file) {
    const Result<bool> there = RecordsFileThere(file);
    if (!there) {
        return Fail(there.Error());
    }
    if (!*there) {
        return std::unique_ptr<SqlConnection>();
    }
    Result<sqlite3*> db = OpenHandle(file, file.string(), SQLITE_OPEN_READONLY);
    if (!db) {
        return Fail(db.Error());
    }
    auto connection = std::make_unique<SqliteConnection>(*db, file);
    // A write-ahead-log file in a folder the reader may not write can't get
    // its shared-memory index: then the file is read as it stands. Any other
    // failure is the file's own, and a lock is waited for, never read past.
    const bool read = connection->Run("SELECT COUNT(*) FROM sqlite_master").Ok();
    const int code = sqlite3_errcode(connection->db_);
    if (read || (code != SQLITE_CANTOPEN && code != SQLITE_READONLY)) {
        return std::unique_ptr<SqlConnection>(std::move(connection));
    }
    Result<sqlite3*> fixed =
        OpenHandle(file, ImmutableUri(file), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
    if (!fixed) {
        return Fail(fixed.Error());
    }
    return std::unique_ptr<SqlConnection>(std::make_unique<SqliteConnection>(*fixed, file));
}

Result<std::unique_ptr<SqlConnection>> SqliteConnection::Open(const std::filesystem::path& file) {
    std::error_code ignored;
    if (file.has_parent_path()) {
        std::filesystem::create_directories(file.parent_path(), ignored);
    }
    if (const Result<bool> there = RecordsFileThere(file); !there) {
        return Fail(there.Error());
    }
    Result<sqlite3*> db =
        OpenHandle(file, file.string(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (!db) {
        return Fail(db.Error());
    }
    auto connection = std::make_unique<SqliteConnection>(*db, file);
    // WAL lets history and reports read while a run writes; NORMAL syncing keeps
    // every committed transaction through a killed process.
    const Result<void> mode = connection->UseWriteAheadLog();
    if (!mode) {
        return Fail(mode.Error());
    }
    [[maybe_unused]] const auto synced = connection->Run("PRAGMA synchronous=NORMAL");
    return std::unique_ptr<SqlConnection>(std::move(connection));
}

// Switching a file to WAL needs the file to itself for a moment, and SQLite
// does not run the busy handler for that switch: stations opening a new
// results file at once would otherwise fail at once with "database is
// locked". The mode stays with the file, so once one station has switched it
// the others' switch takes no lock.
Result<void> SqliteConnection::UseWriteAheadLog() {
    for (int waited = 0;; waited += kModeSwitchPauseMs) {
        const Result<SqlRows> mode = Run("PRAGMA journal_mode=WAL");
        if (mode) {
            return {};
        }
        const int code = sqlite3_errcode(db_);
        if ((code != SQLITE_BUSY && code != SQLITE_LOCKED) || waited >= kBusyWaitMs) {
            return Fail(mode.Error());
        }
        sqlite3_sleep(kModeSwitchPauseMs);
    }
}

SqliteConnection::SqliteConnection(sqlite3* db, std::filesystem::path file)
    : db_(db), file_(std::move(file)) {}

SqliteConnection::~SqliteConnection() {
    for (auto& [sql, statement] : statements_) {
        sqlite3_finalize(statement);
    }
    sqlite3_close(db_);
}

std::string SqliteConnection::Describe() const {
    return file_.string();
}

// A constraint, a mismatched or oversized value: these rows, not the file.
Failure<std::string> SqliteConnection::Failed() {
    const int code = sqlite3_errcode(db_);
    refused_ = code == SQLITE_CONSTRAINT || code == SQLITE_TOOBIG || code == SQLITE_MISMATCH;
    return Fail("Results database " + file_.string() + ": " + sqlite3_errmsg(db_));
}

// Both kinds take the file's write lock at once, waiting out the busy time
// for another station's transaction: one that would take it only at its first
// write can find another's commit in between and fail at once.
Result<SqlRows> SqliteConnection::Begin(Transaction /*kind*/) {
    return Run("BEGIN IMMEDIATE");
}

Result<sqlite3_stmt*> SqliteConnection::Prepared(std::string_view sql) {
    if (auto found = statements_.find(sql); found != statements_.end()) {
        return found->second;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement, nullptr) !=
        SQLITE_OK) {
        return Failed();
    }
    statements_.emplace(std::string(sql), statement);
    return statement;
}

Result<void> SqliteConnection::Bind(sqlite3_stmt* statement, const std::vector<SqlValue>& params) {
    for (std::size_t i = 0; i < params.size(); ++i) {
        const std::string name = NumberedName('$', i + 1);
        const int index = sqlite3_bind_parameter_index(statement, name.c_str());
        if (index > 0 && BindOne(statement, index, params[i]) != SQLITE_OK) {
            return Failed();
        }
    }
    return {};
}

Result<void> SqliteConnection::Steps(sqlite3_stmt* statement, const SqlRowTaker& take) {
    int code;
    while ((code = sqlite3_step(statement)) == SQLITE_ROW) {
        take(CurrentRow(statement));
    }
    if (code != SQLITE_DONE) {
        return Failed();
    }
    return {};
}

Result<void> SqliteConnection::RunRowByRow(std::string_view sql,
                                           const std::vector<SqlValue>& params,
                                           const SqlRowTaker& take) {
    const Result<sqlite3_stmt*> statement = Prepared(sql);
    if (!statement) {
        return Fail(statement.Error());
    }
    const StatementInUse inUse(*statement);
    if (const Result<void> bound = Bind(*statement, params); !bound) {
        return Fail(bound.Error());
    }
    return Steps(*statement, take);
}

Result<SqlRows> SqliteConnection::Run(std::string_view sql, const std::vector<SqlValue>& params) {
    SqlRows rows;
    const Result<void> done =
        RunRowByRow(sql, params, [&rows](SqlRow row) { rows.push_back(std::move(row)); });
    if (!done) {
        return Fail(done.Error());
    }
    return rows;
}

}  // namespace orvalt
