#pragma once
// A record event as the recorder's queue holds it. The trace (readings,
// switches, diagnostic lines) is nearly every event and small; the run and
// test events carry a whole run's start and are rare, so they are boxed. A
// chunk of queued events is then a fifth of the memory it would be in place,
// and a writer that falls behind costs that much less. An event taken back
// before the writer saw it leaves nothing (std::monostate) in its place.

#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "recording/RecordEvents.h"

namespace orvalt {

using QueuedEvent = std::variant<std::monostate, ReadingTaken, LineSwitched, DiagLineSeen,
                                 std::unique_ptr<RecordEvent>>;

// Boxes the event unless it is part of the trace.
QueuedEvent Queued(RecordEvent&& event);

// The event again, moved out of its queued form; none where it was taken back.
std::optional<RecordEvent> Unqueued(QueuedEvent&& queued);

}  // namespace orvalt
