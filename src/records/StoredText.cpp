#include "records/StoredText.h"

#include "domain/Utf8.h"

namespace orvalt {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char digit) {
    if (digit >= '0' && digit <= '9') {
        return digit - '0';
    }
    if (digit >= 'A' && digit <= 'F') {
        return digit - 'A' + 10;
    }
    return -1;
}

// True at "\xHH": what reading back takes for one escaped byte.
bool EscapeAt(std::string_view text, std::size_t at) {
    return at + 3 < text.size() && text[at] == '\\' && text[at + 1] == 'x' &&
           HexValue(text[at + 2]) >= 0 && HexValue(text[at + 3]) >= 0;
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
        // NUL is escaped too: a database text cannot hold it.
        const std::size_t length = bytes[at] == '\0' ? 0 : Utf8CharLength(bytes, at);
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
    if (stored.find("\\x") == std::string_view::npos) {
        return std::string(stored);
    }
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
