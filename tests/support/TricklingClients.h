#pragma once
// Connections that send a request one byte at a time and never finish it, as
// a slow or hostile client does: each gets its next byte every `interval`,
// from one thread of their own.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/RawHttp.h"

namespace orvalt::test {

class TricklingClients {
  public:
    // Connects them all and sends each its first byte.
    TricklingClients(int port, std::size_t count, std::chrono::milliseconds interval,
                     std::string request = "GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    // Stops the thread and closes the connections.
    ~TricklingClients();
    TricklingClients(const TricklingClients&) = delete;
    TricklingClients& operator=(const TricklingClients&) = delete;

    // The connections the server has not closed yet, as far as sending tells.
    std::size_t Open() const { return open_; }

  private:
    void Trickle();
    char ByteAt(std::size_t sent) const;

    std::string request_;
    std::chrono::milliseconds interval_;
    std::vector<std::unique_ptr<RawHttpConnection>> connections_;
    std::atomic<std::size_t> open_{0};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace orvalt::test
