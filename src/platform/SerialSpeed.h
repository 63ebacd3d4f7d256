#pragma once
// Speeds outside the terminal layer's table of constants (14400, 56000,
// 128000, 256000 or any other rate a UART's divisor can make), through
// termios2 with BOTHER. The kernel's termios2 and the C library's termios
// cannot share a translation unit, so this header names no termios type.

#include <cstdint>
#include <optional>

namespace orvalt {

// Sets input and output speed of the terminal `fd` to `baudRate` bits per
// second, leaving every other setting as it is: 0, or the errno of a refusal.
int SetAnyBaudRate(int fd, std::int32_t baudRate);

struct BaudRates {
    std::uint32_t input = 0;
    std::uint32_t output = 0;
};

// The speeds the device now reports, in bits per second, whatever way they
// were set; nothing when the device cannot say.
std::optional<BaudRates> ReadBaudRates(int fd);

}  // namespace orvalt
