#pragma once
// The rows recorded events become. A run's readings of one test taken in
// one batch become one reading block, its diagnostic lines one diagnostic
// block (TraceBlocks.h), so a run that dies mid-way keeps every block it wrote.

#include <vector>

#include "recording/RecordEvents.h"
#include "records/RecordTables.h"
#include "records/TraceBlockRows.h"

namespace orvalt {

class EventRows {
  public:
    void Add(const RecordEvent& event);
    // The rows of the events added since the last call, the blocks last.
    std::vector<RowWrite> Take();

  private:
    template <class Row>
    struct PendingBlock {
        std::string runUuid;
        std::optional<int> testIndex;
        std::vector<Row> rows;
    };
    template <class Row>
    static void AddTo(std::vector<PendingBlock<Row>>& blocks, const TraceStamp& stamp, Row row);

    std::vector<RowWrite> rows_;
    std::vector<PendingBlock<SequencedReading>> readingBlocks_;
    std::vector<PendingBlock<SequencedDiagLine>> diagBlocks_;
};

// The rows of one event (a reading alone makes a block of one).
void AppendEventRows(const RecordEvent& event, std::vector<RowWrite>& rows);

}  // namespace orvalt
