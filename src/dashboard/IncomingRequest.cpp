#include "dashboard/IncomingRequest.h"

#include <algorithm>
#include <cctype>

namespace orvalt {

namespace {

constexpr std::size_t kLongestLength = 18;  // digits of a body's length

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// A line without its "\n" and the "\r" before it.
std::string_view Unterminated(std::string_view line) {
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
    }
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

bool IsTokenChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool IsVisible(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > 0x20 && byte != 0x7f;
}

// The header lines a page is never answered from: the body is in already,
// and every page is sent whole.
bool Dropped(std::string_view line) {
    const std::string_view name = line.substr(0, line.find(':'));
    return name.size() != line.size() &&
           (SameName(name, "Range") || SameName(name, "If-Range") || SameName(name, "Expect"));
}

}  // namespace

IncomingRequest::State IncomingRequest::Take(std::string_view bytes) {
    if (state_ == State::Reading && !headWhole_) {
        TakeHeadPart(bytes);
    }
    if (state_ == State::Reading && headWhole_) {
        bodyLeft_ -= std::min(bytes.size(), bodyLeft_);  // counted, never kept
        if (bodyLeft_ == 0) {
            state_ = State::Whole;
        }
    }
    return state_;
}

// At most one byte past the limit is held: enough to know it was broken.
void IncomingRequest::TakeHeadPart(std::string_view& bytes) {
    const std::size_t room = limits_.headBytes + 1 - std::min(head_.size(), limits_.headBytes + 1);
    const std::size_t slice = std::min(bytes.size(), room);
    head_.append(bytes.substr(0, slice));
    bytes.remove_prefix(slice);
    ScanLines();
    if (state_ != State::Reading) {
        return;
    }
    if (!headWhole_ && head_.size() > limits_.headBytes) {
        Refuse(lines_ == 0 ? 414 : 431);
    } else if (headWhole_) {
        const std::size_t past = head_.size() - scanned_;  // body bytes that came with the head
        bodyLeft_ -= std::min(past, bodyLeft_);
        head_.resize(scanned_);
        if (head_.size() > limits_.headBytes) {
            Refuse(431);
        }
    }
}

void IncomingRequest::ScanLines() {
    while (state_ == State::Reading && !headWhole_) {
        const std::size_t end = head_.find('\n', scanned_);
        if (end == std::string::npos) {
            return;
        }
        const std::string_view line(head_.data() + scanned_, end + 1 - scanned_);
        scanned_ = end + 1;
        TakeLine(Unterminated(line));
    }
}

void IncomingRequest::TakeLine(std::string_view line) {
    if (lines_++ == 0) {
        if (!TakeRequestLine(line)) {
            Refuse(400);
        }
        return;
    }
    if (line.empty()) {
        headWhole_ = true;
        return;
    }
    if (lines_ - 1 > limits_.headLines) {
        Refuse(431);
        return;
    }
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
        TakeHeader(line.substr(0, colon), Trimmed(line.substr(colon + 1)));
    }
}

// Exactly "METHOD SP TARGET SP VERSION": a line that could be split another
// way would be answered for another target than the one it is budgeted for.
bool IncomingRequest::TakeRequestLine(std::string_view line) {
    const std::size_t first = line.find(' ');
    const std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (second == std::string_view::npos || line.find(' ', second + 1) != std::string_view::npos) {
        return false;
    }
    const std::string_view method = line.substr(0, first);
    const std::string_view target = line.substr(first + 1, second - first - 1);
    const std::string_view version = line.substr(second + 1);
    if (method.empty() || !std::all_of(method.begin(), method.end(), IsTokenChar) ||
        target.empty() || !std::all_of(target.begin(), target.end(), IsVisible) ||
        !version.starts_with("HTTP/") || !std::all_of(version.begin(), version.end(), IsVisible)) {
        return false;
    }
    target_ = target;
    return true;
}

void IncomingRequest::TakeHeader(std::string_view name, std::string_view value) {
    if (SameName(name, "Transfer-Encoding")) {
        Refuse(411);
    } else if (SameName(name, "Expect")) {
        continueAsked_ = continueAsked_ || SameName(value, "100-continue");
    } else if (SameName(name, "Content-Length")) {
        if (value.empty() || value.size() > kLongestLength ||
            !std::all_of(value.begin(), value.end(),
                         [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
            Refuse(400);
            return;
        }
        const std::size_t length = std::stoull(std::string(value));
        if (lengthGiven_ && length != bodyLeft_) {
            Refuse(400);
        } else if (length > limits_.bodyBytes) {
            Refuse(413);
        }
        lengthGiven_ = true;
        bodyLeft_ = length;
    }
}

void IncomingRequest::Refuse(int status) {
    if (state_ == State::Reading) {
        state_ = State::Refused;
        refusal_ = status;
    }
}

bool IncomingRequest::TakeContinueDue() {
    const bool due = continueAsked_ && headWhole_ && state_ == State::Reading && bodyLeft_ > 0;
    continueAsked_ = continueAsked_ && !due;
    return due;
}

std::string IncomingRequest::ForwardedHead() const {
    std::string forwarded;
    forwarded.reserve(head_.size());
    for (std::size_t begin = 0, line = 0; begin < head_.size(); ++line) {
        const std::size_t end = std::min(head_.find('\n', begin), head_.size() - 1) + 1;
        const std::string_view text(head_.data() + begin, end - begin);
        if (line == 0 || !Dropped(Unterminated(text))) {
            forwarded.append(text);
        }
        begin = end;
    }
    return forwarded;
}

}  // namespace orvalt
