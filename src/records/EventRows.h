#pragma once
// The rows one recorded event becomes.

#include <vector>

#include "records/RecordEvents.h"
#include "records/RecordTables.h"

namespace orvalt {

void AppendEventRows(const RecordEvent& event, std::vector<RowWrite>& rows);

}  // namespace orvalt
