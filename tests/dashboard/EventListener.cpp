#include "EventListener.h"

namespace orvalt::test {

EventListener::EventListener(int port) : client_("127.0.0.1", port) {
    client_.set_read_timeout(60, 0);
    thread_ = std::thread([this] {
        client_.Get("/events", [this](const char* data, std::size_t size) {
            const std::scoped_lock lock(mutex_);
            received_.append(data, size);
            heard_.notify_all();
            return true;
        });
        const std::scoped_lock lock(mutex_);
        ended_ = true;
        heard_.notify_all();
    });
}

EventListener::~EventListener() {
    client_.stop();
    thread_.join();
}

bool EventListener::WaitFor(const std::string& text, std::size_t from,
                            std::chrono::seconds timeout) {
    std::unique_lock lock(mutex_);
    heard_.wait_for(lock, timeout,
                    [&] { return received_.find(text, from) != std::string::npos || ended_; });
    return received_.find(text, from) != std::string::npos;
}

bool EventListener::WaitForEnd(std::chrono::seconds timeout) {
    std::unique_lock lock(mutex_);
    return heard_.wait_for(lock, timeout, [this] { return ended_; });
}

std::string EventListener::Received() const {
    const std::scoped_lock lock(mutex_);
    return received_;
}

}  // namespace orvalt::test
