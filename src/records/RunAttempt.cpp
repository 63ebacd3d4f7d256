#include "records/RunAttempt.h"

namespace orvalt {

Result<SqlRows> NumberAttempt(SqlConnection& connection, const std::string& uuid) {
    static const std::string sql = std::string(kNumberEveryAttemptSql) + " AND run_uuid = $1";
    return connection.Run(sql, {uuid});
}

}  // namespace orvalt
