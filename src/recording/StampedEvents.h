#pragma once
// The record events the writer makes of one batch of hand-overs, in order.
// A tally carries the run's whole start (its plan text, its settings), and
// only the newest of a run's tallies in a batch matters to the record: a newer
// one takes the older one's place at the end, so the writer's work stays the
// same however large the plan.

#include <optional>
#include <vector>

#include "recording/RecordEvents.h"

namespace orvalt {

class StampedEvents {
  public:
    void Add(RecordEvent event);
    void AddTally(RunTallied tally);
    // The events added since the last call.
    std::vector<RecordEvent> Take();

  private:
    std::vector<std::optional<RecordEvent>> events_;
    std::optional<std::size_t> tallyAt_;
};

}  // namespace orvalt
