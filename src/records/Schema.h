#pragma once
// The results schema and its migrations. A database records the version it
// was brought to; opening one brings it up to this station's version, and one
// written by a newer station is refused untouched.

#include "records/SqlConnection.h"

namespace orvalt {

// The version this station writes.
int CurrentSchemaVersion();

// Creates or migrates the schema, each step in its own transaction, which
// holds the lock other stations wait for while one changes the schema. The
// value is the version found before any migration; 0 for a new database.
// `upTo` stops at an earlier version (to build a database as an older station
// left it).
Result<int> PrepareSchema(SqlConnection& connection, int upTo = CurrentSchemaVersion());

// Reads the version without changing anything (0: no schema yet).
Result<int> ReadSchemaVersion(SqlConnection& connection);

}  // namespace orvalt
