#include "platform/SerialDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <utility>

#include "platform/DeviceHolders.h"
#include "platform/SerialSpeed.h"

namespace orvalt {

namespace {

struct BaudEntry {
    std::int32_t rate;
    speed_t constant;
};

constexpr std::array kBaudTable{
    BaudEntry{50, B50},           BaudEntry{75, B75},           BaudEntry{110, B110},
    BaudEntry{134, B134},         BaudEntry{150, B150},         BaudEntry{200, B200},
    BaudEntry{300, B300},         BaudEntry{600, B600},         BaudEntry{1200, B1200},
    BaudEntry{1800, B1800},       BaudEntry{2400, B2400},       BaudEntry{4800, B4800},
    BaudEntry{9600, B9600},       BaudEntry{19200, B19200},     BaudEntry{38400, B38400},
    BaudEntry{57600, B57600},     BaudEntry{115200, B115200},   BaudEntry{230400, B230400},
    BaudEntry{460800, B460800},   BaudEntry{500000, B500000},   BaudEntry{576000, B576000},
    BaudEntry{921600, B921600},   BaudEntry{1000000, B1000000}, BaudEntry{1152000, B1152000},
    BaudEntry{1500000, B1500000}, BaudEntry{2000000, B2000000}, BaudEntry{2500000, B2500000},
    BaudEntry{3000000, B3000000}, BaudEntry{3500000, B3500000}, BaudEntry{4000000, B4000000},
};

Failure<SerialOpenError> StepFailed(const char* step, int error, std::string detail = {}) {
    return Fail(SerialOpenError{step, error, std::move(detail)});
}

// A speed missing from the table is left for SetAnyBaudRate.
void SetRaw8N1(termios& settings, std::optional<speed_t> speed) {
    cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(PARENB | CSTOPB | CSIZE | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // With a non-blocking descriptor, VMIN 1 makes an empty read say EAGAIN, so
    // that a read of 0 bytes can only mean the device hung up.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (speed) {
        cfsetispeed(&settings, *speed);
        cfsetospeed(&settings, *speed);
    }
}

// tcsetattr succeeds when any part of the request took, so read it back.
bool Took8N1(int fd, termios& actual) {
    if (tcgetattr(fd, &actual) != 0) {
        return false;
    }
    const bool eightBits = (actual.c_cflag & CSIZE) == CS8;
    const bool noParity = (actual.c_cflag & (PARENB | CSTOPB)) == 0;
    return eightBits && noParity;
}

// A UART makes a rate outside the table from a divisor, and its driver reports
// the rate it really runs at: within 2% (what the kernel itself counts as the
// same speed) the line works. A driver that cannot make the rate keeps its old
// speed, far from the one asked for.
bool CloseEnough(std::uint32_t actual, std::int32_t wanted) {
    const auto want = static_cast<std::uint32_t>(wanted);
    const std::uint32_t difference = actual > want ? actual - want : want - actual;
    return difference <= want / 50;
}

bool TookSpeed(int fd, const termios& actual, std::int32_t baudRate,
               std::optional<speed_t> constant) {
    if (constant) {
        return cfgetispeed(&actual) == *constant && cfgetospeed(&actual) == *constant;
    }
    const auto rates = ReadBaudRates(fd);
    return rates && CloseEnough(rates->input, baudRate) && CloseEnough(rates->output, baudRate);
}

// A pseudo-terminal has no modem lines; the ioctl then fails with ENOTTY (or
// EINVAL on some drivers), which leaves nothing to set.
bool SetModemLine(int fd, unsigned long request, int line) {
    if (::ioctl(fd, request, &line) == 0) {
        return true;
    }
    return errno == ENOTTY || errno == EINVAL;
}

// Raw 8N1 first, then a speed outside the table, then what the device took.
Result<void, SerialOpenError> SetLine(int fd, std::int32_t baudRate) {
    const auto constant = BaudRateConstant(baudRate);
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        return StepFailed("tcgetattr", errno);
    }
    SetRaw8N1(settings, constant);
    if (tcsetattr(fd, TCSANOW, &settings) != 0) {
        return StepFailed("tcsetattr", errno);
    }
    if (!constant && SetAnyBaudRate(fd, baudRate) != 0) {
        return StepFailed("baud rate", EINVAL);
    }
    if (!Took8N1(fd, settings)) {
        return StepFailed("tcsetattr", EINVAL);
    }
    if (!TookSpeed(fd, settings, baudRate, constant)) {
        return StepFailed("baud rate", EINVAL);
    }
    return {};
}

Result<UniqueFd, SerialOpenError> Configure(UniqueFd fd, std::int32_t baudRate) {
    if (auto set = SetLine(fd.Get(), baudRate); !set) {
        return Fail(set.Error());
    }
    if (!SetModemLine(fd.Get(), TIOCMBIS, TIOCM_DTR) ||
        !SetModemLine(fd.Get(), TIOCMBIC, TIOCM_RTS)) {
        return StepFailed("modem lines", errno);
    }
    tcflush(fd.Get(), TCIOFLUSH);
    return fd;
}

}  // namespace

std::optional<speed_t> BaudRateConstant(std::int32_t baudRate) {
    for (const auto& entry : kBaudTable) {
        if (entry.rate == baudRate) {
            return entry.constant;
        }
    }
    return std::nullopt;
}

Result<UniqueFd, SerialOpenError> OpenSerialDevice(const std::string& path, std::int32_t baudRate) {
    if (baudRate <= 0) {
        return StepFailed("baud rate", EINVAL);  // 0 would hang the line up
    }
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        return StepFailed("open", errno);
    }
    if (!::isatty(fd.Get())) {
        return StepFailed("open", ENOTTY);
    }
    // TIOCEXCL keeps other programs out, but not root; the advisory lock also
    // keeps a second station process out, whoever runs it.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        return StepFailed("flock", errno);
    }
    if (::ioctl(fd.Get(), TIOCEXCL) != 0) {
        return StepFailed("TIOCEXCL", errno);
    }
    // A reader that asked for neither would still take part of every line.
    if (const auto holders = OtherHoldersOf(fd.Get()); !holders.empty()) {
        return StepFailed("open", EBUSY, "also open in " + DescribeHolders(holders));
    }
    return Configure(std::move(fd), baudRate);
}

std::optional<LineErrorCounts> ReadLineErrorCounts(int fd) {
    serial_icounter_struct counters{};
    if (::ioctl(fd, TIOCGICOUNT, &counters) != 0) {
        return std::nullopt;
    }
    return LineErrorCounts{
        static_cast<std::uint32_t>(counters.frame), static_cast<std::uint32_t>(counters.overrun),
        static_cast<std::uint32_t>(counters.parity), static_cast<std::uint32_t>(counters.brk),
        static_cast<std::uint32_t>(counters.buf_overrun)};
}

std::uint32_t NewLineErrors(const LineErrorCounts& before, const LineErrorCounts& after) {
    const auto flagIf = [](bool grew, std::uint32_t flag) { return grew ? flag : 0U; };
    return flagIf(after.frame != before.frame, LineErrorFrame) |
           flagIf(after.overrun != before.overrun, LineErrorOverrun) |
           flagIf(after.parity != before.parity, LineErrorParity) |
           flagIf(after.brk != before.brk, LineErrorBreak) |
           flagIf(after.bufferOverrun != before.bufferOverrun, LineErrorBufferOverrun);
}

Result<std::size_t, int> ReadDevice(int fd, char* buffer, std::size_t size) {
    const auto count = ::read(fd, buffer, size);
    if (count < 0) {
        return Fail(errno);
    }
    return static_cast<std::size_t>(count);
}

}  // namespace orvalt
