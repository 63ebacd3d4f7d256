#pragma once
// What the login of a connection may write to the records: a reader that
// should only look (a dashboard on the line's network) is told apart from a
// station's own login before it serves anything.

#include <string>
#include <vector>

#include "records/SqlConnection.h"

namespace orvalt {

// On a PostgreSQL server: "superuser" alone for a superuser; otherwise
// "INSERT on runs", "TRUNCATE on alarms", ... for each privilege to change a
// records table (INSERT, UPDATE, DELETE, TRUNCATE, through any role it
// inherits), and "CREATE on the database" or "CREATE on schema public" where
// it may make tables. Empty when it may only read. A SQLite file is opened
// to read only: empty.
Result<std::vector<std::string>> WritesAllowed(SqlConnection& connection);

}  // namespace orvalt
