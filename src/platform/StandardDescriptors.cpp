#include "platform/StandardDescriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace orvalt {

void KeepStandardDescriptorsTaken() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            // The lowest free number is this one: the lower ones are taken.
            [[maybe_unused]] const int taken = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        }
    }
}

}  // namespace orvalt
