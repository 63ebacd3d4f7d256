#pragma once
// httplib's server, its listening queue widened: httplib listens with a queue
// of five connections, and fifty pages refreshing at the same change would
// see theirs dropped and tried again a second later.

#include <httplib.h>

#include "platform/ListeningSocket.h"

namespace orvalt {

class HttpServer final : public httplib::Server {
  public:
    // Once bound.
    void WidenListenQueue() { orvalt::WidenListenQueue(svr_sock_); }
};

}  // namespace orvalt
