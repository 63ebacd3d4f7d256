#include "cli/StatusLine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "domain/Format.h"

namespace orvalt {

namespace {

constexpr const char* kEraseLine = "\r\x1b[K";

// The seconds of "Wait 20.00 secs for ..."; nothing for any other text.
std::optional<double> WaitSecondsOf(const std::string& text) {
    constexpr std::string_view prefix = "Wait ";
    if (!text.starts_with(prefix)) {
        return std::nullopt;
    }
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str() + prefix.size(), &end);
    return end == text.c_str() + prefix.size() ? std::nullopt : std::optional(seconds);
}

}  // namespace

void StatusLine::Wait(const std::string& text, Clock::time_point now) {
    wait_ = text;
    waitSeconds_ = WaitSecondsOf(text);
    waitFrom_ = now;
}

std::string StatusLine::Text(Clock::time_point now) const {
    std::string text = row_ < 0
                           ? std::string("Starting")
                           : "Test " + std::to_string(row_ + 1) + " of " + std::to_string(planned_);
    if (!wait_.empty()) {
        text += " | " + wait_;
        if (waitSeconds_) {
            const double passed = std::chrono::duration<double>(now - waitFrom_).count();
            text += Format(" (%.1f s left)", std::max(0.0, *waitSeconds_ - passed));
        }
    }
    if (!reading_.empty()) {
        text += " | " + reading_;
    }
    return text;
}

void StatusLine::DrawIfDue(Clock::time_point now) {
    if (drawnAt_ && now - *drawnAt_ < kRedrawPeriod) {
        return;
    }
    const std::string text = Text(now);
    if (text == shown_) {
        return;
    }
    terminal_ << kEraseLine << text << std::flush;
    shown_ = text;
    drawnAt_ = now;
}

void StatusLine::Clear() {
    if (shown_.empty()) {
        return;
    }
    terminal_ << kEraseLine << std::flush;
    shown_.clear();
}

}  // namespace orvalt
