#include "platform/Terminal.h"

#include <unistd.h>

namespace orvalt {

bool IsTerminal(int fd) {
    return ::isatty(fd) == 1;
}

}  // namespace orvalt
