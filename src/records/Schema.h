#pragma once
// The results schema and its migrations. A database records the version it
// was brought to; opening one brings it up to this station's version, and one
// written by a newer station is refused untouched.

#include <string>

#include "records/SqlConnection.h"

namespace orvalt {

// The version this station writes.
int CurrentSchemaVersion();

struct SchemaResult {
    bool ok = true;
    int foundVersion = 0;  // before any migration; 0 for a new database
    std::string message;   // why, when not ok
};

// Creates or migrates the schema, each step in its own transaction.
SchemaResult PrepareSchema(SqlConnection& connection);

// Reads the version without changing anything (0: no schema yet).
SchemaResult ReadSchemaVersion(SqlConnection& connection);

}  // namespace orvalt
