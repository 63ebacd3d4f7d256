#include "domain/HexText.h"

#include "domain/HexDigit.h"

namespace orvalt {

std::string LowerHexText(const unsigned char* bytes, std::size_t count) {
    std::string hex;
    hex.reserve(2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        hex += LowerHexDigit(bytes[i] >> 4);
        hex += LowerHexDigit(bytes[i] & 0x0f);
    }
    return hex;
}

bool BytesFromHex(std::string_view hex, unsigned char* bytes, std::size_t count) {
    if (hex.size() != 2 * count) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const int high = HexDigitValue(hex[2 * i]);
        const int low = HexDigitValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return true;
}

}  // namespace orvalt
