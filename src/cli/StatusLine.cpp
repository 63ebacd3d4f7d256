#include "cli/StatusLine.h"

#include <algorithm>

#include "domain/Format.h"

namespace orvalt {

namespace {

constexpr const char* kEraseLine = "\r\x1b[K";

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

std::string Head(const RunStatusNow& status) {
    return status.test < 0 ? std::string("Starting")
                           : Format("Test %d of %d", status.test + 1, status.tests);
}

// A wait without a length is no timed wait: it has no countdown.
std::string Countdown(const WaitNow& wait) {
    return wait.ms > 0 ? Format(" (%.1f s left)", wait.leftMs / 1000.0) : std::string();
}

}  // namespace

std::string StatusLine::Text(const RunStatusNow& status) const {
    const std::string head = Head(status);
    const std::string wait = status.wait ? status.wait->text : std::string();
    const std::string countdown = wait.empty() ? std::string() : Countdown(*status.wait);
    const std::string readingText = status.reading ? ReadingText(*status.reading) : std::string();
    const std::string full = Joined(head, wait.empty() ? wait : wait + countdown, readingText);
    if (!columns_) {
        return full;
    }
    // The last column stays free: the cursor stops short of the wrap.
    const std::size_t width = static_cast<std::size_t>(std::max(*columns_ - 1, 1));
    if (full.size() <= width) {
        return full;
    }
    for (const std::string& reading : {readingText, std::string()}) {
        const std::size_t rest = Joined(head, "x", reading).size() - 1 + countdown.size();
        if (!wait.empty() && rest + kCut.size() + 4 <= width) {
            return Joined(head, CutTo(wait, width - rest) + countdown, reading);
        }
        if (wait.empty() && Joined(head, {}, reading).size() <= width) {
            return Joined(head, {}, reading);
        }
    }
    return CutTo(Joined(head, wait + countdown, {}), width);
}

void StatusLine::DrawIfDue(const RunStatusNow& status, Clock::time_point now) {
    if (drawnAt_ && now - *drawnAt_ < kRedrawPeriod) {
        return;
    }
    const std::string text = Text(status);
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
