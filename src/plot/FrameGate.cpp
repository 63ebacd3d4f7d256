#include "plot/FrameGate.h"

#include <algorithm>

namespace orvalt {

std::optional<std::int64_t> FrameGate::Schedule(std::int64_t nowMs) {
    if (pending_) {
        return std::nullopt;
    }
    pending_ = true;
    if (!lastFrame_) {
        return 0;
    }
    return std::max<std::int64_t>(0, *lastFrame_ + intervalMs_ - nowMs);
}

void FrameGate::Drew(std::int64_t nowMs) {
    pending_ = false;
    lastFrame_ = nowMs;
}

}  // namespace orvalt
