#pragma once
// The server's front: one thread that takes every connection and reads its
// request into a small buffer of its own, so that a client sending slowly,
// or never finishing, holds no thread a page needs. A request must arrive
// whole within a deadline and within the limits; only then is it handed on,
// by the route given, to the threads that answer it. The front answers
// itself where it refuses one (and what it is given back: no thread was free),
// with the answer text given for the status.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "dashboard/IncomingRequest.h"
#include "dashboard/RequestWorkers.h"
#include "platform/ConnectedSocket.h"
#include "platform/EventFd.h"
#include "platform/ReadinessPoll.h"

namespace orvalt {

struct FrontLimits {
    RequestLimits request;
    // From the connection's arrival to the request's last byte.
    std::chrono::milliseconds deadline{std::chrono::seconds(10)};
    // Connections whose request is not whole yet; the oldest goes for a new one.
    std::size_t unfinished = 256;
};

class HttpFront {
  public:
    // Hands a whole request on; gives it back when nobody could take it.
    using Route = std::function<std::optional<HandedRequest>(HandedRequest, std::string_view)>;
    // The whole answer the front sends for a status (408, 431, 503...).
    using Refusal = std::function<std::string(int status)>;

    // `listening`: a bound, listening socket, which stays the caller's.
    HttpFront(int listening, FrontLimits limits, Route route, Refusal refusal);
    ~HttpFront();
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    // False when its descriptors can't be set up.
    bool Start();
    // Ends the thread and closes every connection it still reads; idempotent.
    void Stop();

  private:
    struct Unfinished {
        std::unique_ptr<ConnectedSocket> connection;
        IncomingRequest request;
        std::chrono::steady_clock::time_point deadline;
        bool answered = false;  // refused: what it still sends is read and dropped
        std::size_t dropped = 0;
    };

    void Run();
    void AcceptAll();
    void ReadFrom(std::uint64_t key);
    void HandOn(std::map<std::uint64_t, Unfinished>::iterator entry);
    void Refuse(Unfinished& unfinished, int status);
    void Close(std::map<std::uint64_t, Unfinished>::iterator entry);
    void EndOverdue();
    int MsToNextDeadline() const;

    int listening_;
    FrontLimits limits_;
    Route route_;
    Refusal refusal_;
    ReadinessPoll poll_;
    EventFd stop_;
    std::map<std::uint64_t, Unfinished> unfinished_;  // the oldest first
    std::uint64_t nextKey_ = 2;
    std::optional<std::chrono::steady_clock::time_point> acceptPausedUntil_;
    std::thread thread_;
};

}  // namespace orvalt
