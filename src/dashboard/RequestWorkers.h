#pragma once
// One budget of threads for whole requests: a few threads and a bounded queue
// of requests waiting for them, so that neither a burst nor a slow page can
// make it hold more than its share of threads, descriptors or memory. Stop
// drops the waiting requests, gives those being answered a moment to end,
// then shuts their connections down (a client that does not read can't hold
// a write) and joins every thread.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ConnectedSocket.h"

namespace orvalt {

// A request read whole, with the connection to answer it on.
struct HandedRequest {
    std::unique_ptr<ConnectedSocket> connection;
    std::string head;
};

class RequestWorkers {
  public:
    using Answer = std::function<void(HandedRequest&)>;

    RequestWorkers(std::size_t threads, std::size_t waiting, Answer answer);
    ~RequestWorkers();
    RequestWorkers(const RequestWorkers&) = delete;
    RequestWorkers& operator=(const RequestWorkers&) = delete;

    // Queued for a thread; given back when the queue is full or it stops.
    std::optional<HandedRequest> Hand(HandedRequest request);
    // Idempotent; requests being answered have until `graceUntil` to end by
    // themselves.
    void Stop(std::chrono::steady_clock::time_point graceUntil = std::chrono::steady_clock::now());

  private:
    void Work();
    // The next request into `into`; false once it stops.
    bool Next(HandedRequest& into);
    void Done(ConnectedSocket* connection);

    Answer answer_;
    std::size_t waitingMost_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<HandedRequest> waiting_;
    std::vector<ConnectedSocket*> answering_;  // owned by the threads answering them
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace orvalt
