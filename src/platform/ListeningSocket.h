#pragma once
// How a server's listening socket is set up: its address can be taken again
// at once after a restart, while connections of the last run still linger,
// but never by a second server while the first still listens, so a second
// one started by mistake is told the address is taken rather than sharing
// its connections.

#include "platform/UniqueFd.h"

namespace orvalt {

void ReuseAddressOnly(int socket);

// A listening socket's queue of connections not yet taken, made as long as
// the system allows: a burst of clients connecting at once is queued rather
// than dropped and tried again a second later.
void WidenListenQueue(int socket);

// Accept without waiting: false when it can't be set.
bool AcceptWithoutWaiting(int socket);

// A connection waiting to be taken, itself without waiting for reads or
// writes; none when none waits. `outOfDescriptors` says the process or the
// system has no descriptor left for it: it waits on until one is freed.
struct AcceptedConnection {
    UniqueFd fd;
    bool outOfDescriptors = false;
};
AcceptedConnection AcceptWaiting(int socket);

}  // namespace orvalt
