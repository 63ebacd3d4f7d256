#include "platform/FileLock.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "platform/SafeFile.h"

namespace orvalt {

// A link in the lock file's place is not followed: anyone who may write the
// folder could otherwise make this program create a file where it points.
FileLock::FileLock(const std::filesystem::path& lockFile, std::chrono::milliseconds wait)
    : fd_(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666)) {
    if (!fd_.Valid()) {
        error_ = "Can't open " + lockFile.string() + ": " + std::strerror(errno);
        return;
    }
    const Result<void> locked = LockExclusive(lockFile, fd_.Get(), wait);
    held_ = locked.Ok();
    contended_ = !locked.Ok();
    if (!locked) {
        error_ = locked.Error();
    }
}

}  // namespace orvalt
