#include "dashboard/WriterCheck.h"

#include "domain/Joined.h"
#include "domain/PrintableText.h"
#include "records/RoleAccess.h"
#include "records/SqlConnection.h"

namespace orvalt {

// Opened without the records' schema: a server's login may be a writer
// before any station made the tables.
Result<std::vector<std::string>> WritesOfLogin(const std::string& database) {
    Result<std::unique_ptr<SqlConnection>> opened = OpenSqlConnectionToRead(database);
    if (!opened) {
        return Fail(opened.Error());
    }
    if (!*opened) {
        return std::vector<std::string>();  // no such file yet
    }
    return WritesAllowed(**opened);
}

std::string WriterRefusal(const std::string& shownDatabase,
                          const std::vector<std::string>& writes) {
    return "the login of " + shownDatabase + " may write to the records (" +
           PrintableText(Joined(writes, ", "), kMessageShownMax) +
           "): serve with a login that can only read (docs/dashboard.md shows one), or give "
           "--allow-writer";
}

}  // namespace orvalt
