#pragma once
// The rows that store a test's trace as blocks (TraceBlocks.h): what the
// recorder writes as a run goes, and what the schema step that brought the
// trace into blocks wrote for every older run, so both make the same rows.

#include <optional>
#include <string>
#include <vector>

#include "records/RecordTables.h"
#include "records/TraceBlocks.h"

namespace orvalt {

// A trace row's test_index: NULL for the rows between tests.
SqlValue TestIndexValue(const std::optional<int>& testIndex);

// The row that stores one test's readings, or diagnostic lines, as a block
// (none for a test index: those between tests); keyed by the first row's seq.
RowWrite ReadingBlockRow(const std::string& uuid, const std::optional<int>& testIndex,
                         const std::vector<SequencedReading>& readings);
RowWrite DiagBlockRow(const std::string& uuid, const std::optional<int>& testIndex,
                      const std::vector<SequencedDiagLine>& lines);

}  // namespace orvalt
