#include "domain/PrintableText.h"

#include "domain/Utf8.h"

#include <algorithm>
#include <optional>

namespace orvalt {

namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";

std::string EscapedByte(unsigned char byte) {
    switch (byte) {
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\t':
            return "\\t";
        default:
            return std::string{'\\', 'x', kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
    }
}

// The length of the well-formed UTF-8 sequence at the start of `text` that
// stands for a printable character, else nothing.
std::optional<std::size_t> PrintableSequence(std::string_view text) {
    const std::size_t length = Utf8CharLength(text, 0);
    const auto lead = static_cast<unsigned char>(text[0]);
    const bool control = lead < 0x20 || lead == 0x7F;
    // U+0080 to U+009F, the C1 controls, are C2 80 to C2 9F.
    const bool c1Control =
        length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0;
    if (length == 0 || control || c1Control)
        return std::nullopt;
    return length;
}

}  // namespace

std::string PrintableText(std::string_view text, std::size_t maxShown) {
    std::string shown;
    std::size_t shownCharacters = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::optional<std::size_t> sequence = PrintableSequence(text.substr(at));
        const std::string piece = sequence ? std::string(text.substr(at, *sequence))
                                           : EscapedByte(static_cast<unsigned char>(text[at]));
        const std::size_t characters = sequence ? 1 : piece.size();
        if (shownCharacters + characters > maxShown)
            break;
        shown += piece;
        shownCharacters += characters;
        at += sequence.value_or(1);
    }
    if (at < text.size())
        shown += "... (" + std::to_string(text.size()) + " bytes)";
    return shown;
}

std::string PrintableLines(std::string_view text) {
    std::string shown;
    for (std::size_t begin = 0; begin <= text.size();) {
        const std::size_t end = std::min(text.find('\n', begin), text.size());
        shown += PrintableText(text.substr(begin, end - begin), std::string::npos);
        if (end < text.size()) {
            shown += '\n';
        }
        begin = end + 1;
    }
    return shown;
}

}  // namespace orvalt
