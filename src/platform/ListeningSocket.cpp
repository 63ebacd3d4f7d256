#include "platform/ListeningSocket.h"

#include <sys/socket.h>

namespace orvalt {

void WidenListenQueue(int socket) {
    ::listen(socket, SOMAXCONN);  // listening again only changes the queue's length
}

void ReuseAddressOnly(int socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

}  // namespace orvalt
