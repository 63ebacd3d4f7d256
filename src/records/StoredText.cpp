#include "records/StoredText.h"

namespace orvalt {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char digit) {
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    return -1;
}

// True at "\xHH": what reading back takes for one escaped byte.
bool EscapeAt(std::string_view text, std::size_t at) {
    return at + 3 < text.size() && text[at] == '\\' && text[at + 1] == 'x' &&
           HexValue(text[at + 2]) >= 0 && HexValue(text[at + 3]) >= 0;
}

bool Continuation(std::string_view text, std::size_t at) {
    return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
}

// The length of the valid UTF-8 character at `at` (no overlong form, no
// surrogate, nothing past U+10FFFF, no NUL), or 0 when its first byte is not one.
std::size_t CharLength(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead >= 0x01 && lead <= 0x7F)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's allowed range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + 1 >= text.size())
        return 0;
    const auto second = static_cast<unsigned char>(text[at + 1]);
    if (second < low || second > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (!Continuation(text, at + i))
            return 0;
    return length;
}

void AppendEscaped(std::string& out, unsigned char byte) {
    out += "\\x";
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
}

}  // namespace

std::string StoredText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = CharLength(bytes, at);
        if (length == 0 || EscapeAt(bytes, at)) {
            AppendEscaped(out, static_cast<unsigned char>(bytes[at]));
            ++at;
            continue;
        }
        out.append(bytes.substr(at, length));
        at += length;
    }
    return out;
}

std::string TextFromStored(std::string_view stored) {
    if (stored.find("\\x") == std::string_view::npos)
        return std::string(stored);
    std::string out;
    out.reserve(stored.size());
    for (std::size_t at = 0; at < stored.size();) {
        if (EscapeAt(stored, at)) {
            out += static_cast<char>(HexValue(stored[at + 2]) * 16 + HexValue(stored[at + 3]));
            at += 4;
        } else {
            out += stored[at++];
        }
    }
    return out;
}

}  // namespace orvalt
