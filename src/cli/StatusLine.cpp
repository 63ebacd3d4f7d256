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

constexpr std::string_view kCut = "...";

// `text` cut to `width` characters, with "..." where it was cut.
std::string CutTo(const std::string& text, std::size_t width) {
    if (text.size() <= width) {
        return text;
    }
    if (width <= kCut.size()) {
        return text.substr(0, width);
    }
    return text.substr(0, width - kCut.size()) + std::string(kCut);
}

std::string Joined(const std::string& head, const std::string& wait, const std::string& reading) {
    std::string text = head;
    for (const std::string* part : {&wait, &reading}) {
        if (!part->empty()) {
            text += " | " + *part;
        }
    }
    return text;
}

}  // namespace

void StatusLine::Wait(const std::string& text, Clock::time_point now) {
    wait_ = text;
    waitSeconds_ = WaitSecondsOf(text);
    waitFrom_ = now;
}

std::string StatusLine::Head() const {
    return row_ < 0 ? std::string("Starting")
                    : "Test " + std::to_string(row_ + 1) + " of " + std::to_string(planned_);
}

std::string StatusLine::Countdown(Clock::time_point now) const {
    if (!waitSeconds_) {
        return {};
    }
    const double passed = std::chrono::duration<double>(now - waitFrom_).count();
    return Format(" (%.1f s left)", std::max(0.0, *waitSeconds_ - passed));
}

std::string StatusLine::Text(Clock::time_point now) const {
    const std::string head = Head();
    const std::string countdown = wait_.empty() ? std::string() : Countdown(now);
    const std::string full = Joined(head, wait_.empty() ? wait_ : wait_ + countdown, reading_);
    if (!columns_) {
        return full;
    }
    // The last column stays free: the cursor stops short of the wrap.
    const std::size_t width = static_cast<std::size_t>(std::max(*columns_ - 1, 1));
    if (full.size() <= width) {
        return full;
    }
    for (const std::string& reading : {reading_, std::string()}) {
        const std::size_t rest = Joined(head, "x", reading).size() - 1 + countdown.size();
        if (!wait_.empty() && rest + kCut.size() + 4 <= width) {
            return Joined(head, CutTo(wait_, width - rest) + countdown, reading);
        }
        if (wait_.empty() && Joined(head, {}, reading).size() <= width) {
            return Joined(head, {}, reading);
        }
    }
    return CutTo(Joined(head, wait_ + countdown, {}), width);
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
