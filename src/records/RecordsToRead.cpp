#include "records/RecordsToRead.h"

#include "records/Schema.h"

namespace orvalt {

Result<std::unique_ptr<SqlConnection>> OpenRecordsToRead(const std::string& target) {
    Result<std::unique_ptr<SqlConnection>> opened = OpenSqlConnectionToRead(target);
    if (!opened || !*opened) {
        return opened;
    }
    const Result<int> version = ReadSchemaVersion(**opened);
    if (!version) {
        return Fail(version.Error());
    }
    if (*version == 0) {
        return std::unique_ptr<SqlConnection>();
    }
    // Reading never changes the database, so an older one is not brought up here.
    if (*version < CurrentSchemaVersion()) {
        return Fail("Results database " + (*opened)->Describe() + " has schema version " +
                    std::to_string(*version) + ", older than this station's " +
                    std::to_string(CurrentSchemaVersion()) +
                    ": it is brought up to date, its records kept, when this station next "
                    "records into it.");
    }
    return opened;
}

}  // namespace orvalt
