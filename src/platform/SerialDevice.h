#pragma once
// A serial device file (a UART, a USB serial adapter or a pseudo-terminal) opened
// the way the diagnostic link listens: raw 8N1 at a fixed speed, DTR asserted,
// RTS not asserted, no flow control, held exclusively.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include <termios.h>

#include "base/Result.h"
#include "platform/UniqueFd.h"

namespace orvalt {

// Why a device could not be opened: the step that failed ("open", "flock",
// "tcsetattr", ...) and its errno, for a log line that says why.
struct SerialOpenError {
    std::string step;
    int error = 0;
    // Said instead of the errno's text when more is known ("also open in
    // process 1234 (minicom)").
    std::string detail;
};

// The termios speed constant for a baud rate; nothing for a rate the terminal
// layer cannot name (such a rate is set through termios2 instead).
std::optional<speed_t> BaudRateConstant(std::int32_t baudRate);

// Opens and configures the device at `path`. Another process holding the port
// (TIOCEXCL, our own advisory lock, or simply a descriptor on it that /proc
// shows) makes it fail; so does a device that
// does not end up at 8N1 and the requested speed (any positive rate: one
// outside the table must come within 2%). Input that was waiting in the driver
// from before the opening is discarded. The descriptor is non-blocking.
Result<UniqueFd, SerialOpenError> OpenSerialDevice(const std::string& path, std::int32_t baudRate);

// Line error flags in the bit values the station reports them with.
constexpr std::uint32_t LineErrorBufferOverrun = 0x0001;
constexpr std::uint32_t LineErrorOverrun = 0x0002;
constexpr std::uint32_t LineErrorParity = 0x0004;
constexpr std::uint32_t LineErrorFrame = 0x0008;
constexpr std::uint32_t LineErrorBreak = 0x0010;

// Running totals of the line errors a UART driver keeps. Devices that keep none
// (a pseudo-terminal) give nothing.
struct LineErrorCounts {
    std::uint32_t frame = 0;
    std::uint32_t overrun = 0;
    std::uint32_t parity = 0;
    std::uint32_t brk = 0;
    std::uint32_t bufferOverrun = 0;
};
std::optional<LineErrorCounts> ReadLineErrorCounts(int fd);

// One read of what has arrived: the byte count (0: the far end has gone), or
// the error number.
Result<std::size_t, int> ReadDevice(int fd, char* buffer, std::size_t size);
// The flags of the counters that grew from `before` to `after`.
std::uint32_t NewLineErrors(const LineErrorCounts& before, const LineErrorCounts& after);

}  // namespace orvalt
