#pragma once
// A client of a server on 127.0.0.1 that sends exactly the bytes it is given,
// as slowly as the caller likes, and counts what comes back while keeping only
// its first bytes: what a hostile client does, measured without the client's
// own memory growing with the server's answer.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"

namespace orvalt::test {

struct RawAnswer {
    int status = 0;         // 0: no status line came
    std::string kept;       // the first bytes received
    std::size_t bytes = 0;  // everything received
    bool ended = false;     // the server closed (or reset) the connection
};

class RawHttpConnection {
  public:
    explicit RawHttpConnection(int port);

    bool Connected() const { return fd_.Valid(); }
    // False once the server no longer takes bytes: it closed, or nothing was
    // taken for `patience`.
    bool Send(std::string_view bytes,
              std::chrono::milliseconds patience = std::chrono::seconds(10));
    // Reads until the server closes, `within` has passed, or what is kept
    // holds `until` (when given).
    RawAnswer Read(std::chrono::milliseconds within, std::size_t keep = 64 * 1024,
                   std::string_view until = {});
    // Whether the server closed the connection within `within` (what it sent
    // before is read and dropped).
    bool ClosedWithin(std::chrono::milliseconds within);
    void Close() { fd_.Reset(); }

  private:
    UniqueFd fd_;
};

// The value of a header in an answer's head ("" when it has none).
std::string HeaderOf(const std::string& head, std::string_view name);

}  // namespace orvalt::test
