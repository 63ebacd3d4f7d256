#include "reading/OpenRuns.h"

namespace orvalt {

namespace {

constexpr const char* kOpenRunsSql =
    "SELECT r.run_uuid, r.model, r.tests_begun, r.tests_completed, r.tests_passed,"
    " r.tests_failed, (SELECT COUNT(*) FROM tests t WHERE t.run_id = k.run_id"
    " AND t.ended_how IS NOT NULL)"
    " FROM runs r JOIN run_keys k ON k.run_uuid = r.run_uuid WHERE r.ended_at IS NULL";

std::string TallyOf(const SqlRow& row) {
    std::string tally;
    for (std::size_t cell = 2; cell < row.size(); ++cell) {
        tally.append(row[cell].value_or("-")).push_back(' ');
    }
    return tally;
}

}  // namespace

Result<OpenRuns> ReadOpenRuns(SqlConnection& connection) {
    OpenRuns open;
    const Result<void> read = connection.RunRowByRow(kOpenRunsSql, {}, [&open](SqlRow row) {
        open[CellText(row.at(0))] = OpenRun{CellText(row.at(1)), TallyOf(row)};
    });
    if (!read) {
        return Fail(read.Error());
    }
    return open;
}

const char* OpenRunsStatement() {
    return kOpenRunsSql;
}

}  // namespace orvalt
