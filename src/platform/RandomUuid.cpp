#include "platform/RandomUuid.h"

#include <sys/random.h>

#include <array>
#include <cstdint>
#include <random>

namespace orvalt {

namespace {

std::array<std::uint8_t, 16> RandomBytes() {
    std::array<std::uint8_t, 16> bytes{};
    if (getrandom(bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()))
        return bytes;
    // Without the kernel's generator (very old kernels) the device still gives
    // distinct identities.
    std::random_device device;
    for (auto& byte : bytes)
        byte = static_cast<std::uint8_t>(device());
    return bytes;
}

}  // namespace

std::string NewRandomUuid() {
    auto bytes = RandomBytes();
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text += '-';
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 0x0F];
    }
    return text;
}

}  // namespace orvalt
