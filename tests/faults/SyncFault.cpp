#include "faults/SyncFault.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace orvalt::test {

namespace {

std::atomic<SyncFault> armed{SyncFault::None};

bool FailsNow(int fd) {
    const SyncFault fault = armed.load();
    struct stat info {};
    if (fault == SyncFault::None || ::fstat(fd, &info) != 0) {
        return false;
    }
    return fault == SyncFault::File ? S_ISREG(info.st_mode) : S_ISDIR(info.st_mode);
}

using SyncCall = int (*)(int);

// The C library's fsync, the one after this program's own.
SyncCall LibrarySync() {
    static const auto call = reinterpret_cast<SyncCall>(::dlsym(RTLD_NEXT, "fsync"));
    return call;
}

}  // namespace

void ArmSyncFault(SyncFault fault) {
    armed = fault;
}

}  // namespace orvalt::test

extern "C" int fsync(int fd) {
    if (orvalt::test::FailsNow(fd)) {
        errno = EIO;
        return -1;
    }
    return orvalt::test::LibrarySync()(fd);
}
