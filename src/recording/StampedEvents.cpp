#include "recording/StampedEvents.h"

namespace orvalt {

void StampedEvents::Add(RecordEvent event) {
    // A run's end closes its tallies: the next run's first one replaces none.
    if (std::holds_alternative<RunEnded>(event)) {
        tallyAt_.reset();
    }
    events_.emplace_back(std::move(event));
}

void StampedEvents::AddTally(RunTallied tally) {
    if (tallyAt_) {
        events_[*tallyAt_].reset();
    }
    tallyAt_ = events_.size();
    events_.emplace_back(std::move(tally));
}

std::vector<RecordEvent> StampedEvents::Take() {
    std::vector<RecordEvent> taken;
    taken.reserve(events_.size());
    for (std::optional<RecordEvent>& event : events_) {
        if (event) {
            taken.push_back(std::move(*event));
        }
    }
    events_.clear();
    tallyAt_.reset();
    return taken;
}

}  // namespace orvalt
