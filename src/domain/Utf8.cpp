#include "domain/Utf8.h"

#include <algorithm>

namespace orvalt {

namespace {

bool Continuation(std::string_view text, std::size_t at) {
    return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
}

}  // namespace

std::size_t Utf8CharLength(std::string_view text, std::size_t at) {
    if (at >= text.size()) {
        return 0;
    }
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead <= 0x7F) {
        return 1;
    }
    std::size_t length = 0;
    // The second byte's range is what rules out overlong forms, surrogates and
    // anything past U+10FFFF.
    unsigned char low = 0x80, high = 0xBF;
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
    if (at + 1 >= text.size()) {
        return 0;
    }
    const auto second = static_cast<unsigned char>(text[at + 1]);
    if (second < low || second > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!Continuation(text, at + i)) {
            return 0;
        }
    }
    return length;
}

std::size_t Utf8CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); ++count) {
        at += std::max<std::size_t>(Utf8CharLength(text, at), 1);
    }
    return count;
}

}  // namespace orvalt
