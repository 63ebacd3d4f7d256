#include "platform/ReadinessPoll.h"

#include <sys/epoll.h>

namespace orvalt {

ReadinessPoll::ReadinessPoll() : fd_(::epoll_create1(EPOLL_CLOEXEC)) {}

bool ReadinessPoll::Add(int fd, std::uint64_t key) {
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP;
    event.data.u64 = key;
    return ::epoll_ctl(fd_.Get(), EPOLL_CTL_ADD, fd, &event) == 0;
}

void ReadinessPoll::Remove(int fd) {
    ::epoll_ctl(fd_.Get(), EPOLL_CTL_DEL, fd, nullptr);
}

std::vector<std::uint64_t> ReadinessPoll::Wait(int timeoutMs, std::size_t most) {
    std::vector<epoll_event> events(most);
    const int ready =
        ::epoll_wait(fd_.Get(), events.data(), static_cast<int>(events.size()), timeoutMs);
    std::vector<std::uint64_t> keys;
    for (int i = 0; i < ready; ++i) {
        keys.push_back(events[static_cast<std::size_t>(i)].data.u64);
    }
    return keys;
}

}  // namespace orvalt
