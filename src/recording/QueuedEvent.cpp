#include "recording/QueuedEvent.h"

#include <type_traits>

namespace orvalt {

QueuedEvent Queued(RecordEvent&& event) {
    if (auto* reading = std::get_if<ReadingTaken>(&event)) {
        return std::move(*reading);
    }
    if (auto* change = std::get_if<LineSwitched>(&event)) {
        return std::move(*change);
    }
    if (auto* line = std::get_if<DiagLineSeen>(&event)) {
        return std::move(*line);
    }
    return std::make_unique<RecordEvent>(std::move(event));
}

std::optional<RecordEvent> Unqueued(QueuedEvent&& queued) {
    return std::visit(
        [](auto&& held) -> std::optional<RecordEvent> {
            using Held = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<Held, std::monostate>) {
                return std::nullopt;
            } else if constexpr (std::is_same_v<Held, std::unique_ptr<RecordEvent>>) {
                return std::move(*held);
            } else {
                return std::move(held);
            }
        },
        std::move(queued));
}

}  // namespace orvalt
