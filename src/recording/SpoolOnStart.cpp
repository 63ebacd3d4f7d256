#include "recording/SpoolOnStart.h"

#include "domain/DatabaseUrl.h"
#include "domain/Joined.h"
#include "recording/RecordStore.h"
#include "records/RecordTables.h"
#include "records/RunAttempt.h"
#include "records/RecordsToRead.h"

namespace orvalt {

namespace {

// The earlier spool's rows as this one numbers their runs.
std::string CopySql(const TableShape& table) {
    std::vector<std::string> columns;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        columns.push_back(i == 0 && table.keyedByRun ? RunKeyOf("k.run_uuid", "main.")
                                                     : ColumnAsWritten(table, i));
    }
    return "INSERT OR IGNORE INTO main." + table.name + " (" + Joined(table.columns) + ") SELECT " +
           Joined(columns) + " " + FromWithRunUuid(table, "earlier.");
}

Result<SqlRows> CopyRows(SqlConnection& spool) {
    Result<SqlRows> step = spool.Run("BEGIN");
    if (step) {
        step = spool.Run(
            "INSERT OR IGNORE INTO main.run_keys (run_uuid)"
            " SELECT run_uuid FROM earlier.run_keys");
    }
    for (const TableShape* table : AllRecordTables()) {
        if (step) {
            step = spool.Run(CopySql(*table));
        }
    }
    if (step) {
        // As if they had been written here; the database numbers them again.
        step = spool.Run(kNumberEveryAttemptSql);
    }
    if (step) {
        return spool.Run("COMMIT");
    }
    RollBack(spool);
    return step;
}

// Closed again before the earlier spool's files go.
Result<SqlRows> CopyInto(const std::filesystem::path& spool, const std::filesystem::path& earlier) {
    Result<std::unique_ptr<SqlConnection>> opened = OpenRecordDatabase(spool.string());
    if (!opened) {
        return Fail(opened.Error());
    }
    SqlConnection& into = **opened;
    Result<SqlRows> step = into.Run("ATTACH DATABASE $1 AS earlier", {earlier.string()});
    if (step) {
        step = CopyRows(into);
    }
    return step;
}

void RemoveDatabaseFiles(const std::filesystem::path& file) {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        std::filesystem::remove(file.string() + suffix, ignored);
    }
}

}  // namespace

Result<void> AdoptEarlierSpool(const std::filesystem::path& earlier,
                               const std::filesystem::path& spool) {
    std::error_code missing;
    if (earlier == spool || !std::filesystem::exists(earlier, missing)) {
        return {};
    }
    // Opening it brings a spool of an older schema up to this one.
    if (Result<std::unique_ptr<SqlConnection>> old = OpenRecordDatabase(earlier.string()); !old) {
        return Fail(old.Error());
    }
    if (const Result<SqlRows> copied = CopyInto(spool, earlier); !copied) {
        return Fail(copied.Error());
    }
    RemoveDatabaseFiles(earlier);
    return {};
}

Result<std::int64_t> SpooledRunCount(const std::filesystem::path& spool) {
    Result<std::unique_ptr<SqlConnection>> opened = OpenRecordsToRead(spool.string());
    if (!opened) {
        return Fail(opened.Error());
    }
    if (!*opened) {
        return std::int64_t{0};
    }
    const Result<SqlRows> count =
        (*opened)->Run("SELECT COUNT(*) FROM (" + RunsWithRowsSql() + ") AS waiting");
    if (!count) {
        return Fail(count.Error());
    }
    return CellInteger(count->at(0).at(0));
}

std::string SpoolWaitingText(std::int64_t runs, const std::filesystem::path& spool,
                             const std::string& database) {
    if (runs == 0) {
        return {};
    }
    return std::to_string(runs) + (runs == 1 ? " run waits" : " runs wait") + " in " +
           spool.string() + " for " + ShownDatabase(database) +
           "; they are written there as soon as it takes writes.";
}

}  // namespace orvalt
