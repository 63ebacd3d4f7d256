#pragma once
// The connection as httplib answers a request on it: what it reads is the
// request's head, read whole already, and then nothing; what it writes goes
// out with a bound on how long the client may take to read it.

#include <httplib.h>

#include <chrono>
#include <optional>
#include <string>

#include "platform/ConnectedSocket.h"

namespace orvalt {

struct WriteLimits {
    // The longest a write waits for the client to take a byte.
    std::chrono::milliseconds stall{std::chrono::seconds(10)};
    // The longest the whole answer may take (none: an event stream).
    std::optional<std::chrono::milliseconds> whole = std::chrono::seconds(60);
};

class AnsweringStream final : public httplib::Stream {
  public:
    AnsweringStream(ConnectedSocket& connection, std::string head, WriteLimits limits);

    bool is_readable() const override { return read_ < head_.size(); }
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return connection_.Fd(); }

  private:
    ConnectedSocket& connection_;
    std::string head_;
    std::size_t read_ = 0;
    WriteLimits limits_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
};

}  // namespace orvalt
