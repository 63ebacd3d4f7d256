#include "records/RunAttempt.h"

namespace orvalt {

namespace {

// The run itself and every run of its unit started after it.
constexpr const char* kRenumberFromSql =
    ORVALT_SET_ATTEMPT " WHERE serial = $2 AND (run_uuid = $1 OR started_at >= $3)";

}  // namespace

// Each write of a run's row asks; only its first finds it unnumbered.
Result<SqlRows> NumberAttempt(SqlConnection& connection, const std::string& uuid) {
    Result<SqlRows> found = connection.Run(
        "SELECT serial, started_at FROM runs WHERE run_uuid = $1 AND attempt IS NULL"
        " AND serial IS NOT NULL AND serial <> ''",
        {uuid});
    if (!found || found->empty()) {
        return found;
    }
    const SqlRow& run = found->front();
    // Two stations numbering runs of one unit at once on a server would each
    // count without the other's run (SQLite writes one transaction at a
    // time): the second waits for the first to commit, then counts it.
    if (connection.Dialect() == SqlDialect::Postgres) {
        const Result<SqlRows> locked = connection.Run(
            "SELECT pg_advisory_xact_lock(1330795073, hashtext($1))", {CellText(run[0])});
        if (!locked) {
            return locked;
        }
    }
    return connection.Run(kRenumberFromSql, {uuid, CellText(run[0]), CellText(run[1])});
}

}  // namespace orvalt
