#include "records/SealTables.h"

#include "platform/UtcTime.h"

namespace orvalt {

Result<SqlRows> MigrateToSeals(SqlConnection& connection) {
    // A seal without key_id marks a run the station recorded without its key.
    static const char* const kStatements[] = {
        "CREATE TABLE seal_era (began_at TEXT NOT NULL, last_run_before BIGINT NOT NULL)",
        "CREATE TABLE run_seals (run_uuid TEXT PRIMARY KEY, started_at TEXT, key_id TEXT,"
        " position BIGINT, previous TEXT, run_digest TEXT, settings_digest TEXT,"
        " tests_digest TEXT, measurements_digest TEXT, trace_digest TEXT, sealed_at TEXT,"
        " signature TEXT, unsealed_reason TEXT)",
        "CREATE INDEX run_seals_by_chain ON run_seals (key_id, position)",
        "CREATE TABLE seal_heads (key_id TEXT PRIMARY KEY, position BIGINT NOT NULL,"
        " seal_digest TEXT NOT NULL, run_uuid TEXT)",
    };
    Result<SqlRows> result = SqlRows{};
    for (const char* statement : kStatements) {
        if (result) {
            result = connection.Run(statement);
        }
    }
    if (result) {
        result = connection.Run(
            "INSERT INTO seal_era (began_at, last_run_before)"
            " SELECT CAST($1 AS TEXT), COALESCE(MAX(run_id), 0) FROM run_keys",
            {UtcIsoNow()});
    }
    return result;
}

}  // namespace orvalt
