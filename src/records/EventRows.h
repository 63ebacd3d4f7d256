#pragma once
// The rows recorded events become. A run's readings of one test taken in
// one batch become one reading block (ReadingBlock.h), so a run that dies
// mid-way keeps every block it wrote.

#include <vector>

#include "records/ReadingBlock.h"
#include "records/RecordEvents.h"
#include "records/RecordTables.h"

namespace orvalt {

class EventRows {
  public:
    void Add(const RecordEvent& event);
    // The rows of the events added since the last call, the readings blocks
    // last.
    std::vector<RowWrite> Take();

  private:
    struct PendingBlock {
        std::string runUuid;
        std::optional<int> testIndex;
        std::vector<SequencedReading> readings;
    };
    void AddReading(const ReadingTaken& taken);

    std::vector<RowWrite> rows_;
    std::vector<PendingBlock> blocks_;
};

// The rows of one event (a reading alone makes a block of one).
void AppendEventRows(const RecordEvent& event, std::vector<RowWrite>& rows);

}  // namespace orvalt
