#include "records/RecordStore.h"

#include "domain/Joined.h"
#include "records/Schema.h"

namespace orvalt {

namespace {

SqlValue CellValue(const SqlCell& cell) {
    return cell ? SqlValue(*cell) : SqlValue();
}

std::string ColumnList(const TableShape& table) {
    return Joined(table.columns);
}

// Every row of the spool, in table order.
Result<void> ReadSpool(SqlConnection& spool, std::vector<RowWrite>& rows) {
    for (const TableShape* table : AllRecordTables()) {
        const auto read =
            EachRow(spool.Run("SELECT " + ColumnList(*table) + " FROM " + table->name),
                    [&](const SqlRow& row) {
                        RowWrite write{table, {}};
                        for (const SqlCell& cell : row)
                            write.values.push_back(CellValue(cell));
                        rows.push_back(std::move(write));
                    });
        if (!read)
            return read;
    }
    return {};
}

Result<SqlRows> EmptySpool(SqlConnection& spool) {
    Result<SqlRows> result = spool.Run("BEGIN");
    for (const TableShape* table : AllRecordTables()) {
        if (result)
            result = spool.Run("DELETE FROM " + table->name);
    }
    if (result)
        return spool.Run("COMMIT");
    RollBack(spool);
    return result;
}

// A full group of rows of one table from `at` on, else the single row there.
std::size_t GroupSize(const std::vector<RowWrite>& rows, std::size_t at) {
    const TableShape* table = rows[at].table;
    if (!table->lateColumns.empty() || rows.size() - at < kRowsPerInsert)
        return 1;
    for (std::size_t i = at; i < at + kRowsPerInsert; ++i)
        if (rows[i].table != table)
            return 1;
    return kRowsPerInsert;
}

}  // namespace

Result<void> WriteRows(SqlConnection& connection, const std::vector<RowWrite>& rows) {
    Result<SqlRows> result = connection.Run("BEGIN");
    for (std::size_t at = 0; result && at < rows.size();) {
        const std::size_t count = GroupSize(rows, at);
        std::vector<SqlValue> values;
        for (std::size_t i = at; i < at + count; ++i)
            values.insert(values.end(), rows[i].values.begin(), rows[i].values.end());
        result = connection.Run(UpsertSql(*rows[at].table, count), values);
        at += count;
    }
    if (result)
        result = connection.Run("COMMIT");
    if (result)
        return {};
    RollBack(connection);
    return Fail(result.Error());
}

Result<std::unique_ptr<SqlConnection>> OpenRecordDatabase(const std::string& target) {
    Result<std::unique_ptr<SqlConnection>> opened = OpenSqlConnection(target);
    if (!opened)
        return opened;
    if (const Result<int> schema = PrepareSchema(**opened); !schema)
        return Fail(schema.Error());
    return opened;
}

RecordStore::RecordStore(RecordStoreOptions options) : options_(std::move(options)) {}

RecordStore::~RecordStore() = default;

void RecordStore::Write(std::vector<RowWrite> rows) {
    held_.insert(held_.end(), std::make_move_iterator(rows.begin()),
                 std::make_move_iterator(rows.end()));
    if (PrimaryReady() && ForwardSpool()) {
        const Result<void> written = WriteRows(*primary_, held_);
        if (written) {
            held_.clear();
            MarkUp();
            return;
        }
        DropPrimary(written.Error());
    }
    MarkDown(lastError_);
    if (held_.empty() || !SpoolReady())
        return;
    if (WriteRows(*spool_, held_)) {
        held_.clear();
        spoolHasRows_ = true;
    } else {
        spool_.reset();
    }
}

bool RecordStore::PrimaryReady() {
    if (primary_)
        return true;
    const auto now = std::chrono::steady_clock::now();
    if (attempted_ && now - lastAttempt_ < options_.retryEvery)
        return false;
    attempted_ = true;
    lastAttempt_ = now;
    Result<std::unique_ptr<SqlConnection>> opened = OpenRecordDatabase(options_.target);
    if (!opened) {
        lastError_ = opened.Error();
        return false;
    }
    primary_ = std::move(opened).Value();
    return true;
}

bool RecordStore::SpoolReady() {
    if (!spool_) {
        Result<std::unique_ptr<SqlConnection>> opened = OpenRecordDatabase(options_.spool.string());
        if (opened)
            spool_ = std::move(opened).Value();
    }
    return spool_ != nullptr;
}

bool RecordStore::ForwardSpool() {
    if (!spoolHasRows_)
        return true;
    if (!spool_ && !std::filesystem::exists(options_.spool)) {
        spoolHasRows_ = false;
        return true;
    }
    if (!SpoolReady())
        return true;  // a spool that can't be read holds nothing we can send
    std::vector<RowWrite> rows;
    Result<void> result = ReadSpool(*spool_, rows);
    if (result && !rows.empty())
        result = WriteRows(*primary_, rows);
    if (!result) {
        DropPrimary(result.Error());
        return false;
    }
    if (EmptySpool(*spool_))
        spoolHasRows_ = false;
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
    if (recovered && options_.report)
        options_.report(true, "Results database " + primary_->Describe() +
                                  " is written again; the spooled records were forwarded.");
}

void RecordStore::MarkDown(const std::string& why) {
    if (health_ == Health::Down)
        return;
    health_ = Health::Down;
    if (options_.report)
        options_.report(false, why + ". Records are kept in " + options_.spool.string() +
                                   " until it can be written.");
}

}  // namespace orvalt
