#include "platform/Terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace orvalt {

bool IsTerminal(int fd) {
    return ::isatty(fd) == 1;
}

std::optional<int> TerminalColumns(int fd) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) {
        return std::nullopt;
    }
    return static_cast<int>(size.ws_col);
}

}  // namespace orvalt
