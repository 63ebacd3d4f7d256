#pragma once
// The line's change mark: what the dashboard asks twice a second to know
// whether the line must be read again.

#include <string>
#include <vector>

#include "base/Result.h"
#include "records/SqlConnection.h"

namespace orvalt {

// A text that changes whenever a run starts, a test of a run in progress
// begins or ends, a run ends, or an alarm is recorded or acknowledged; read from indexes
// alone, so that it can be asked often.
Result<std::string> LineChangeMark(SqlConnection& connection);

// The statements LineChangeMark runs, to see how a database answers them.
std::vector<std::string> LineChangeMarkStatements();

}  // namespace orvalt
