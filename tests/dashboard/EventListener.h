#pragma once
// A page's event stream as the tests hear it: GET /events on a thread of its
// own, everything received kept to be waited for.

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace orvalt::test {

class EventListener {
  public:
    explicit EventListener(int port);
    // Cuts the stream and joins its thread.
    ~EventListener();
    EventListener(const EventListener&) = delete;
    EventListener& operator=(const EventListener&) = delete;

    // True once `text` was received after `from`, false when the stream ended
    // or `timeout` passed first.
    bool WaitFor(const std::string& text, std::size_t from = 0,
                 std::chrono::seconds timeout = std::chrono::seconds(20));
    // True once the stream has ended.
    bool WaitForEnd(std::chrono::seconds timeout = std::chrono::seconds(20));
    std::string Received() const;

  private:
    httplib::Client client_;
    mutable std::mutex mutex_;
    std::condition_variable heard_;
    std::string received_;
    bool ended_ = false;
    std::thread thread_;
};

}  // namespace orvalt::test
