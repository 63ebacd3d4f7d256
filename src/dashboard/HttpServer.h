#pragma once
// httplib's server as the dashboard uses it: it binds the address and holds
// the routes, but never listens itself. The front takes the connections from
// its socket and reads each request whole; a worker then has it answered
// here, on a connection that carries that one request.

#include <httplib.h>

#include "platform/ListeningSocket.h"
#include "platform/UniqueFd.h"

namespace orvalt {

class HttpServer final : public httplib::Server {
  public:
    // Once bound.
    void WidenListenQueue() { orvalt::WidenListenQueue(svr_sock_); }
    int ListeningSocket() const { return svr_sock_; }
    // Answers the request the stream reads, and says the connection closes.
    void AnswerRequest(httplib::Stream& stream) {
        bool closed = true;
        process_request(stream, true, closed, nullptr);
    }
    // Event streams end once the socket is gone: httplib takes that as the
    // server stopping.
    void CloseListening() { const UniqueFd closing(svr_sock_.exchange(INVALID_SOCKET)); }
};

}  // namespace orvalt
