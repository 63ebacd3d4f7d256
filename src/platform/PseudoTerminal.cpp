#include "platform/PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>

namespace orvalt {

namespace {

bool MakeRaw(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        return false;
    }
    cfmakeraw(&settings);
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

std::optional<std::string> SlaveName(int master) {
    std::array<char, 128> name{};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name.data(), name.size()) != 0) {
        return std::nullopt;
    }
    return std::string(name.data());
}

bool WaitWritable(int fd, int timeoutMs) {
    pollfd entry{fd, POLLOUT, 0};
    return ::poll(&entry, 1, timeoutMs) > 0 && (entry.revents & POLLOUT) != 0;
}

int MsLeft(std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

PseudoTerminal::PseudoTerminal(UniqueFd master, UniqueFd slaveKeeper, std::string slavePath)
    : master_(std::move(master)),
      slaveKeeper_(std::move(slaveKeeper)),
      slavePath_(std::move(slavePath)) {}

std::optional<PseudoTerminal> PseudoTerminal::Open() {
    UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!master.Valid()) {
        return std::nullopt;
    }
    auto path = SlaveName(master.Get());
    if (!path) {
        return std::nullopt;
    }
    UniqueFd keeper(::open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!keeper.Valid() || !MakeRaw(keeper.Get())) {
        return std::nullopt;
    }
    return PseudoTerminal(std::move(master), std::move(keeper), std::move(*path));
}

PseudoTerminal::WriteResult PseudoTerminal::Write(std::string_view bytes, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    WriteResult result;
    while (result.written < bytes.size()) {
        const auto n =
            ::write(master_.Get(), bytes.data() + result.written, bytes.size() - result.written);
        if (n > 0) {
            result.written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            result.error = errno;
            break;
        }
        if (!WaitWritable(master_.Get(), MsLeft(deadline))) {
            result.error = EAGAIN;
            break;
        }
    }
    return result;
}

void PseudoTerminal::CloseMaster() {
    master_.Reset();
}

}  // namespace orvalt
