#include "platform/PollWait.h"

#include <poll.h>

#include <array>
#include <cerrno>
#include <chrono>

namespace orvalt {

namespace {

constexpr std::size_t kMaxFds = 4;

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

PollOutcome FirstReady(const std::array<pollfd, kMaxFds>& set, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (set[i].revents != 0) {
            return PollOutcome{PollOutcome::Ready, i, set[i].revents, 0};
        }
    }
    return PollOutcome{};
}

}  // namespace

PollOutcome WaitForAny(std::initializer_list<int> fds, int timeoutMs) {
    std::array<pollfd, kMaxFds> set{};
    std::size_t count = 0;
    for (int fd : fds) {
        if (count < kMaxFds) {
            set[count++] = pollfd{fd, POLLIN, 0};
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int waitMs = timeoutMs;
    for (;;) {
        const int rc = ::poll(set.data(), count, waitMs);
        if (rc > 0) {
            return FirstReady(set, count);
        }
        if (rc == 0) {
            return PollOutcome{};
        }
        if (errno != EINTR) {
            return PollOutcome{PollOutcome::Failed, 0, 0, errno};
        }
        waitMs = timeoutMs < 0 ? -1 : RemainingMs(deadline);
    }
}

}  // namespace orvalt
