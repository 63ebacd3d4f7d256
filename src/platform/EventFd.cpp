#include "platform/EventFd.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace orvalt {

EventFd::EventFd() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

void EventFd::Signal() {
    SignalEventFd(fd_.Get());
}

void SignalEventFd(int fd) {
    const std::uint64_t one = 1;
    // A full counter (never reached here) still leaves the fd readable, so a
    // failed write loses no wake-up.
    [[maybe_unused]] const auto written = ::write(fd, &one, sizeof one);
}

void EventFd::Drain() {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto got = ::read(fd_.Get(), &count, sizeof count);
}

}  // namespace orvalt
