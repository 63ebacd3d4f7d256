#include "support/TricklingClients.h"

namespace orvalt::test {

TricklingClients::TricklingClients(int port, std::size_t count, std::chrono::milliseconds interval,
                                   std::string request)
    : request_(std::move(request)), interval_(interval) {
    for (std::size_t i = 0; i < count; ++i) {
        auto connection = std::make_unique<RawHttpConnection>(port);
        if (connection->Connected() && connection->Send(std::string(1, ByteAt(0)))) {
            connections_.push_back(std::move(connection));
        }
    }
    open_ = connections_.size();
    thread_ = std::thread([this] { Trickle(); });
}

TricklingClients::~TricklingClients() {
    {
        const std::scoped_lock lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

// The request, then a header line that never ends.
char TricklingClients::ByteAt(std::size_t sent) const {
    if (sent < request_.size()) {
        return request_[sent];
    }
    return sent == request_.size() ? 'X' : (sent == request_.size() + 1 ? ':' : 'a');
}

void TricklingClients::Trickle() {
    std::vector<bool> closed(connections_.size(), false);
    for (std::size_t sent = 1;; ++sent) {
        {
            std::unique_lock lock(mutex_);
            if (wake_.wait_for(lock, interval_, [this] { return stopping_; })) {
                return;
            }
        }
        for (std::size_t i = 0; i < connections_.size(); ++i) {
            if (!closed[i] &&
                !connections_[i]->Send(std::string(1, ByteAt(sent)), std::chrono::seconds(1))) {
                closed[i] = true;
                --open_;
            }
        }
    }
}

}  // namespace orvalt::test
