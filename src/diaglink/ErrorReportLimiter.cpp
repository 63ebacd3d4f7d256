#include "diaglink/ErrorReportLimiter.h"

#include "domain/Format.h"

namespace orvalt {

bool ErrorReportLimiter::IntervalPassed(std::uint32_t nowMs) const {
    return !reported_ || static_cast<std::uint32_t>(nowMs - lastReportMs_) >= intervalMs_;
}

std::string ErrorReportLimiter::Report(std::string text, std::uint32_t nowMs) {
    reported_ = true;
    lastReportMs_ = nowMs;
    heldCount_ = 0;
    heldText_.clear();
    return text;
}

std::optional<std::string> ErrorReportLimiter::Failure(std::string text, std::uint32_t nowMs,
                                                       int count) {
    if (count <= 0) {
        return std::nullopt;
    }
    if (heldCount_ == 0 && IntervalPassed(nowMs)) {
        std::string report = Report(text, nowMs);
        Hold(std::move(text), count - 1);
        return report;
    }
    Hold(std::move(text), count);
    return Flush(nowMs);
}

void ErrorReportLimiter::Hold(std::string text, int count) {
    if (count > 0) {
        heldCount_ += count;
        heldText_ = std::move(text);
    }
}

std::optional<std::string> ErrorReportLimiter::Flush(std::uint32_t nowMs) {
    if (heldCount_ == 0 || !IntervalPassed(nowMs)) {
        return std::nullopt;
    }
    const int count = heldCount_;
    return Report(heldText_ + Format(" (repeated %d times)", count), nowMs);
}

std::optional<std::uint32_t> ErrorReportLimiter::MsUntilFlush(std::uint32_t nowMs) const {
    if (heldCount_ == 0) {
        return std::nullopt;
    }
    const std::uint32_t since = nowMs - lastReportMs_;
    return since >= intervalMs_ ? 0 : intervalMs_ - since;
}

}  // namespace orvalt
