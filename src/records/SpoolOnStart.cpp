#include "records/SpoolOnStart.h"

#include "domain/DatabaseUrl.h"
#include "domain/Joined.h"
#include "records/RecordStore.h"
#include "records/RecordTables.h"
#include "records/RecordsToRead.h"

namespace orvalt {

namespace {

Result<SqlRows> CopyRows(SqlConnection& spool) {
    Result<SqlRows> step = spool.Run("BEGIN");
    for (const TableShape* table : AllRecordTables()) {
        const std::string columns = Joined(table->columns);
        if (step)
            step = spool.Run("INSERT OR IGNORE INTO main." + table->name + " (" + columns +
                             ") SELECT " + columns + " FROM earlier." + table->name);
    }
    if (step)
        return spool.Run("COMMIT");
    RollBack(spool);
    return step;
}

// Closed again before the earlier spool's files go.
Result<SqlRows> CopyInto(const std::filesystem::path& spool, const std::filesystem::path& earlier) {
    Result<std::unique_ptr<SqlConnection>> opened = OpenRecordDatabase(spool.string());
    if (!opened)
        return Fail(opened.Error());
    SqlConnection& into = **opened;
    Result<SqlRows> step = into.Run("ATTACH DATABASE $1 AS earlier", {earlier.string()});
    if (step)
        step = CopyRows(into);
    return step;
}

void RemoveDatabaseFiles(const std::filesystem::path& file) {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        std::filesystem::remove(file.string() + suffix, ignored);
}

}  // namespace

Result<void> AdoptEarlierSpool(const std::filesystem::path& earlier,
                               const std::filesystem::path& spool) {
    std::error_code missing;
    if (earlier == spool || !std::filesystem::exists(earlier, missing))
        return {};
    // Opening it brings a spool of an older schema up to this one.
    if (Result<std::unique_ptr<SqlConnection>> old = OpenRecordDatabase(earlier.string()); !old)
        return Fail(old.Error());
    if (const Result<SqlRows> copied = CopyInto(spool, earlier); !copied)
        return Fail(copied.Error());
    RemoveDatabaseFiles(earlier);
    return {};
}

Result<std::int64_t> SpooledRunCount(const std::filesystem::path& spool) {
    Result<std::unique_ptr<SqlConnection>> opened = OpenRecordsToRead(spool.string());
    if (!opened)
        return Fail(opened.Error());
    if (!*opened)
        return std::int64_t{0};
    std::vector<std::string> selects;
    for (const TableShape* table : AllRecordTables())
        selects.push_back("SELECT run_uuid FROM " + table->name);
    const Result<SqlRows> count =
        (*opened)->Run("SELECT COUNT(*) FROM (" + Joined(selects, " UNION ") + ") AS waiting");
    if (!count)
        return Fail(count.Error());
    return CellInteger(count->at(0).at(0));
}

std::string SpoolWaitingText(std::int64_t runs, const std::filesystem::path& spool,
                             const std::string& database) {
    if (runs == 0)
        return {};
    return std::to_string(runs) + (runs == 1 ? " run waits" : " runs wait") + " in " +
           spool.string() + " for " + ShownDatabase(database) +
           "; they are written there as soon as it takes writes.";
}

}  // namespace orvalt
