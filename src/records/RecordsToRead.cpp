#include "records/RecordsToRead.h"

#include "records/Schema.h"

namespace orvalt {

Result<std::unique_ptr<SqlConnection>> OpenRecordsToRead(const std::string& target) {
    Result<std::unique_ptr<SqlConnection>> opened = OpenSqlConnectionToRead(target);
    if (!opened || !*opened)
        return opened;
    const Result<int> version = ReadSchemaVersion(**opened);
    if (!version)
        return Fail(version.Error());
    if (*version == 0)
        return std::unique_ptr<SqlConnection>();
    return opened;
}

}  // namespace orvalt
