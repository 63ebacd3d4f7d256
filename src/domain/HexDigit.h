#pragma once
// The value of one hexadecimal digit, as the diagnostic lines and the settings
// file both write them.

namespace orvalt {

// 0..15 for '0'-'9', 'a'-'f' and 'A'-'F'; -1 for any other character.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// '0'-'9', 'a'-'f' for 0..15.
constexpr char LowerHexDigit(unsigned value) {
    return "0123456789abcdef"[value & 0x0f];
}

}  // namespace orvalt
