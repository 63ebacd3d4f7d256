#include "platform/ConnectedSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace orvalt {

namespace {

using Clock = std::chrono::steady_clock;

// Readiness is asked again at least this often, so a shutdown from another
// thread ends a wait even where the kernel would not wake it.
constexpr std::chrono::milliseconds kLongestPoll{100};

ConnectedSocket::Address AddressOf(const sockaddr_storage& storage) {
    char text[INET6_ADDRSTRLEN] = {};
    ConnectedSocket::Address address;
    if (storage.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(storage);
        ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        address.port = ntohs(v4.sin_port);
    } else if (storage.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(storage);
        ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        address.port = ntohs(v6.sin6_port);
    }
    address.ip = text;
    return address;
}

}  // namespace

ConnectedSocket::ReadOutcome ConnectedSocket::ReadSome(char* into, std::size_t most) {
    for (;;) {
        const ssize_t got = ::recv(fd_.Get(), into, most, MSG_DONTWAIT);
        if (got > 0) {
            return {Read::Data, static_cast<std::size_t>(got)};
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return {Read::Nothing, 0};
        }
        return {Read::Ended, 0};
    }
}

bool ConnectedSocket::SendNow(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent =
            ::send(fd_.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool ConnectedSocket::WaitForRoom(Clock::time_point until) {
    for (;;) {
        if (shutDown_) {
            return false;
        }
        const auto now = Clock::now();
        if (now >= until) {
            return false;
        }
        const auto wait = std::min(
            std::chrono::duration_cast<std::chrono::milliseconds>(until - now), kLongestPoll);
        pollfd one{fd_.Get(), POLLOUT, 0};
        const int ready = ::poll(&one, 1, static_cast<int>(wait.count()) + 1);
        if (ready > 0) {
            return (one.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0 && !shutDown_;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
}

bool ConnectedSocket::SendAll(std::string_view bytes, std::chrono::milliseconds stall,
                              std::optional<Clock::time_point> deadline) {
    while (!bytes.empty()) {
        const ssize_t sent =
            ::send(fd_.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            return false;
        }
        const auto until =
            std::min(Clock::now() + stall, deadline.value_or(Clock::time_point::max()));
        if (!WaitForRoom(until)) {
            return false;
        }
    }
    return !shutDown_;
}

bool ConnectedSocket::WaitWritable(std::chrono::milliseconds within) {
    return WaitForRoom(Clock::now() + within);
}

void ConnectedSocket::EndWrites() {
    ::shutdown(fd_.Get(), SHUT_WR);
}

void ConnectedSocket::Shutdown() {
    shutDown_ = true;
    ::shutdown(fd_.Get(), SHUT_RDWR);
}

ConnectedSocket::Address ConnectedSocket::Peer() const {
    sockaddr_storage storage{};
    socklen_t size = sizeof storage;
    if (::getpeername(fd_.Get(), reinterpret_cast<sockaddr*>(&storage), &size) != 0) {
        return {};
    }
    return AddressOf(storage);
}

ConnectedSocket::Address ConnectedSocket::Local() const {
    sockaddr_storage storage{};
    socklen_t size = sizeof storage;
    if (::getsockname(fd_.Get(), reinterpret_cast<sockaddr*>(&storage), &size) != 0) {
        return {};
    }
    return AddressOf(storage);
}

}  // namespace orvalt
