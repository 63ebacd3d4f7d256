#pragma once
// The tables that seal runs: each run's seal (run_seals), the newest seal of
// each station's chain (seal_heads), and when this database began sealing
// (seal_era: its time and the last run key numbered before it).

#include "records/SqlConnection.h"

namespace orvalt {

// The schema version that added them: a database below it sealed no run.
inline constexpr int kSchemaVersionWithSeals = 10;

// The schema step that adds them; the runs already recorded are those before
// runs were sealed.
Result<SqlRows> MigrateToSeals(SqlConnection& connection);

}  // namespace orvalt
