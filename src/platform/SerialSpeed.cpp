#include "platform/SerialSpeed.h"

// The kernel's own termios definitions: <termios.h> must not be included here.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace orvalt {

namespace {

// Input and output both at the rate held in c_ispeed and c_ospeed.
void UseSpeedFields(termios2& settings, std::int32_t baudRate) {
    settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = static_cast<speed_t>(baudRate);
    settings.c_ospeed = static_cast<speed_t>(baudRate);
}

}  // namespace

int SetAnyBaudRate(int fd, std::int32_t baudRate) {
    if (baudRate <= 0) {
        return EINVAL;  // 0 would hang the line up
    }
    termios2 settings{};
    if (::ioctl(fd, TCGETS2, &settings) != 0) {
        return errno;
    }
    UseSpeedFields(settings, baudRate);
    return ::ioctl(fd, TCSETS2, &settings) == 0 ? 0 : errno;
}

std::optional<BaudRates> ReadBaudRates(int fd) {
    termios2 settings{};
    if (::ioctl(fd, TCGETS2, &settings) != 0) {
        return std::nullopt;
    }
    return BaudRates{settings.c_ispeed, settings.c_ospeed};
}

}  // namespace orvalt
