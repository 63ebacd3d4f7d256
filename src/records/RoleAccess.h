#pragma once
// What the login of a connection may write to the records: a reader that
// should only look (a dashboard on the line's network) is told apart from a
// station's own login before it serves anything.

#include <string>
#include <vector>

#include "records/SqlConnection.h"

namespace orvalt {

// On a PostgreSQL server, in the order a message names them: "superuser"
// alone for a superuser; otherwise "CREATEROLE" (it may grant itself any
// role), the predefined writing roles it holds ("pg_write_all_data"), "owner
// of runs" for each records table it owns and else each privilege to change
// one ("INSERT on runs", "UPDATE (verdict) on runs", "TRIGGER on tests"),
// the records' sequences it owns or may move ("UPDATE on sequence ..."),
// each SECURITY DEFINER function of a writer it may run, and the database or
// a schema it owns or may create in. All of that through any role it
// inherits and PUBLIC; what a role it may SET ROLE to adds comes last, as
// "SET ROLE writers (DELETE on runs, ...)". Empty when it may only read. A
// SQLite file is opened to read only: empty.
Result<std::vector<std::string>> WritesAllowed(SqlConnection& connection);

}  // namespace orvalt
