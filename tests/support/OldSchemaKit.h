#pragma once
// Databases as an older station left them: the schema stopped at an earlier
// version, and a run written in that layout, a row a reading, each table
// carrying the run's UUID.

#include <string>

#include "reading/RunLoad.h"
#include "records/SqlConnection.h"

namespace orvalt::test {

// Opens `target` with its schema brought up to `version` only.
Result<std::unique_ptr<SqlConnection>> OpenAtVersion(const std::string& target, int version);

// Writes the run in the layout of versions 1 to 3; sequence numbers go in the
// order the run lists its parts.
Result<void> WriteOldForm(SqlConnection& db, const LoadedRun& run);

}  // namespace orvalt::test
