#include "domain/PrintableText.h"

#include <array>
#include <cstdint>
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
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead >= 0x20 && lead < 0x7F)
        return 1;
    const std::size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                                                              : 0;
    if (length == 0 || text.size() < length)
        return std::nullopt;
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return std::nullopt;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    constexpr std::array<std::uint32_t, 5> kSmallest{0, 0, 0x80, 0x800, 0x10000};
    const bool overlong = code < kSmallest[length];
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    const bool c1Control = code < 0xA0;
    if (overlong || surrogate || c1Control || code > 0x10FFFF)
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

}  // namespace orvalt
