#include "platform/ListeningSocket.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <cerrno>

namespace orvalt {

void WidenListenQueue(int socket) {
    ::listen(socket, SOMAXCONN);  // listening again only changes the queue's length
}

void ReuseAddressOnly(int socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

bool AcceptWithoutWaiting(int socket) {
    const int flags = ::fcntl(socket, F_GETFL);
    return flags >= 0 && ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
}

AcceptedConnection AcceptWaiting(int socket) {
    for (;;) {
        const int fd = ::accept4(socket, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            return {UniqueFd(fd), false};
        }
        // A connection that went before it was taken is none.
        if (errno == EINTR || errno == ECONNABORTED) {
            continue;
        }
        const bool out = errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
        return {UniqueFd(), out};
    }
}

}  // namespace orvalt
