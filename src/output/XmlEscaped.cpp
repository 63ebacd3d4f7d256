#include "output/XmlEscaped.h"

#include "domain/Utf8.h"

namespace orvalt {

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// XML 1.0 takes, of the control characters, only tab, line feed and carriage
// return; the others have no representation at all, escaped or not.
bool XmlCanHold(unsigned char c) {
    return c >= 0x20 || c == '\t' || c == '\n' || c == '\r';
}

std::string XmlEntityOf(char c) {
    switch (c) {
        case '&':
            return "&amp;";
        case '<':
            return "&lt;";
        case '>':
            return "&gt;";
        case '"':
            return "&quot;";
        case '\'':
            return "&apos;";
        case '\t':
            return "&#9;";
        case '\n':
            return "&#10;";
        case '\r':
            return "&#13;";
        default:
            return std::string(1, c);
    }
}

}  // namespace

std::string XmlEscaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8CharLength(text, at);
        const auto c = static_cast<unsigned char>(text[at]);
        if (length == 0 || (length == 1 && !XmlCanHold(c))) {
            out += kReplacement;
            at += length == 0 ? 1 : length;
            continue;
        }
        if (length == 1) {
            out += XmlEntityOf(text[at]);
        } else {
            out.append(text, at, length);
        }
        at += length;
    }
    return out;
}

}  // namespace orvalt
