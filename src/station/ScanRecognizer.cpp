#include "station/ScanRecognizer.h"

namespace orvalt {

bool ScanRecognizer::Typed(std::string_view text, std::uint64_t nowMs) {
    const bool begins = burst_.empty() || !Recent(nowMs);
    if (begins) {
        burst_.clear();
    }
    burst_ += text;
    lastMs_ = nowMs;
    return begins;
}

std::optional<std::string> ScanRecognizer::Entered(std::uint64_t nowMs) {
    std::string burst;
    burst.swap(burst_);
    if (burst.size() < kMinLength || !Recent(nowMs)) {
        return std::nullopt;
    }
    return burst;
}

}  // namespace orvalt
