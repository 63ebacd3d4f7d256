#include "support/RawHttp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace orvalt::test {

namespace {

using Clock = std::chrono::steady_clock;

int MsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
}

bool WaitFor(int fd, short events, Clock::time_point deadline) {
    pollfd one{fd, events, 0};
    int ready = 0;
    do {
        ready = ::poll(&one, 1, MsUntil(deadline));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

int StatusOf(const std::string& kept) {
    if (kept.size() < 12 || kept.compare(0, 5, "HTTP/") != 0) {
        return 0;
    }
    const std::size_t space = kept.find(' ');
    return space == std::string::npos ? 0 : std::atoi(kept.c_str() + space + 1);
}

}  // namespace

RawHttpConnection::RawHttpConnection(int port)
    : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_.Valid() &&
        ::connect(fd_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        fd_.Reset();
    }
}

bool RawHttpConnection::Send(std::string_view bytes, std::chrono::milliseconds patience) {
    while (!bytes.empty() && fd_.Valid()) {
        if (!WaitFor(fd_.Get(), POLLOUT, Clock::now() + patience)) {
            return false;
        }
        const ssize_t sent =
            ::send(fd_.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return fd_.Valid();
}

RawAnswer RawHttpConnection::Read(std::chrono::milliseconds within, std::size_t keep,
                                  std::string_view until) {
    RawAnswer answer;
    const auto deadline = Clock::now() + within;
    char buffer[64 * 1024];
    while (fd_.Valid() && WaitFor(fd_.Get(), POLLIN, deadline)) {
        const ssize_t got = ::recv(fd_.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        if (got <= 0) {
            answer.ended = true;
            break;
        }
        const auto size = static_cast<std::size_t>(got);
        answer.bytes += size;
        if (answer.kept.size() < keep) {
            answer.kept.append(buffer, std::min(size, keep - answer.kept.size()));
        }
        if (!until.empty() && answer.kept.find(until) != std::string::npos) {
            break;
        }
    }
    answer.status = StatusOf(answer.kept);
    return answer;
}

bool RawHttpConnection::ClosedWithin(std::chrono::milliseconds within) {
    return Read(within, 0).ended;
}

std::string HeaderOf(const std::string& head, std::string_view name) {
    const auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    };
    const std::string wanted = "\r\n" + lower(std::string(name)) + ":";
    const std::size_t headEnd = head.find("\r\n\r\n");
    const std::string headOnly =
        lower(head.substr(0, headEnd == std::string::npos ? head.size() : headEnd + 2));
    const std::size_t at = headOnly.find(wanted);
    if (at == std::string::npos) {
        return "";
    }
    std::size_t begin = at + wanted.size();
    const std::size_t end = headOnly.find("\r\n", begin);
    while (begin < end && head[begin] == ' ') {
        ++begin;
    }
    return head.substr(begin, end - begin);
}

}  // namespace orvalt::test
