#pragma once
// Bytes as lower-case hexadecimal text and back, as digests, signatures and
// keys are stored.

#include <cstddef>
#include <string>
#include <string_view>

namespace orvalt {

std::string LowerHexText(const unsigned char* bytes, std::size_t count);
// Fills exactly `count` bytes; false when `hex` is not 2 * count hex digits.
bool BytesFromHex(std::string_view hex, unsigned char* bytes, std::size_t count);

}  // namespace orvalt
