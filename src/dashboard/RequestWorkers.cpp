#include "dashboard/RequestWorkers.h"

#include <algorithm>

namespace orvalt {

RequestWorkers::RequestWorkers(std::size_t threads, std::size_t waiting, Answer answer)
    : answer_(std::move(answer)), waitingMost_(waiting) {
    for (std::size_t i = 0; i < threads; ++i) {
        threads_.emplace_back([this] { Work(); });
    }
}

RequestWorkers::~RequestWorkers() {
    Stop();
}

std::optional<HandedRequest> RequestWorkers::Hand(HandedRequest request) {
    {
        const std::scoped_lock lock(mutex_);
        if (stopping_ || waiting_.size() >= waitingMost_) {
            return request;
        }
        waiting_.push_back(std::move(request));
    }
    wake_.notify_one();
    return std::nullopt;
}

bool RequestWorkers::Next(HandedRequest& into) {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (stopping_) {
        return false;
    }
    into = std::move(waiting_.front());
    waiting_.pop_front();
    answering_.push_back(into.connection.get());
    return true;
}

void RequestWorkers::Done(ConnectedSocket* connection) {
    {
        const std::scoped_lock lock(mutex_);
        answering_.erase(std::find(answering_.begin(), answering_.end(), connection));
    }
    idle_.notify_all();
}

void RequestWorkers::Work() {
    for (HandedRequest request; Next(request); request = HandedRequest{}) {
        answer_(request);
        // Closed only once it is no longer listed, so Stop never shuts down
        // a descriptor this thread has closed.
        Done(request.connection.get());
    }
}

void RequestWorkers::Stop(std::chrono::steady_clock::time_point graceUntil) {
    std::deque<HandedRequest> dropped;
    {
        std::unique_lock lock(mutex_);
        if (stopping_) {
            return;
        }
        stopping_ = true;
        dropped.swap(waiting_);
        idle_.wait_until(lock, graceUntil, [this] { return answering_.empty(); });
        for (ConnectedSocket* connection : answering_) {
            connection->Shutdown();
        }
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
    threads_.clear();
}

}  // namespace orvalt
