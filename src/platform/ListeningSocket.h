#pragma once
// How a server's listening socket is set up: its address can be taken again
// at once after a restart, while connections of the last run still linger,
// but never by a second server while the first still listens, so a second
// one started by mistake is told the address is taken rather than sharing
// its connections.

namespace orvalt {

void ReuseAddressOnly(int socket);

// A listening socket's queue of connections not yet taken, made as long as
// the system allows: a burst of clients connecting at once is queued rather
// than dropped and tried again a second later.
void WidenListenQueue(int socket);

}  // namespace orvalt
