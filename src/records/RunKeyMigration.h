#pragma once
// The step that gives each run a small integer key in the big tables (its
// UUID kept once, in runs and run_keys) and turns the readings and the
// diagnostic lines, a row each, into compressed blocks, one per test: every
// row of an older database comes across, and the old tables go.

#include "records/SqlConnection.h"

namespace orvalt {

// Within the schema step's transaction.
Result<SqlRows> MigrateToRunKeys(SqlConnection& connection);

}  // namespace orvalt
