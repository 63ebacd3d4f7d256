#pragma once
// One accepted TCP connection, non-blocking, closed when it goes: what a
// server reads a request from without waiting and writes its answer to. A
// write waits for room for a bounded time, so a client that stops reading
// can't hold the writer; Shutdown, from any thread, ends every wait at once.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"

namespace orvalt {

class ConnectedSocket {
  public:
    explicit ConnectedSocket(UniqueFd fd) : fd_(std::move(fd)) {}

    int Fd() const { return fd_.Get(); }

    enum class Read { Data, Nothing, Ended };
    struct ReadOutcome {
        Read kind = Read::Nothing;
        std::size_t bytes = 0;
    };
    // What has arrived, without waiting: Nothing when no byte waits, Ended
    // once the peer closed or the connection failed.
    ReadOutcome ReadSome(char* into, std::size_t most);

    // What fits into the socket's buffer now, without waiting; false when
    // not all of it did.
    bool SendNow(std::string_view bytes);
    // All of `bytes`; false when the peer went, the socket was shut down, a
    // whole `stall` passed without a byte taken, or `deadline` passed.
    bool SendAll(std::string_view bytes, std::chrono::milliseconds stall,
                 std::optional<std::chrono::steady_clock::time_point> deadline);
    // Whether a byte could be written within `within`.
    bool WaitWritable(std::chrono::milliseconds within);

    // No more writes: the peer reads the end once it has read what was sent.
    void EndWrites();
    // Both ways, and every wait on it returns; safe while another thread
    // reads or writes.
    void Shutdown();

    struct Address {
        std::string ip;
        int port = -1;
    };
    Address Peer() const;
    Address Local() const;

  private:
    // Waits for room to write until `until`; false on a shutdown or hang-up.
    bool WaitForRoom(std::chrono::steady_clock::time_point until);

    UniqueFd fd_;
    std::atomic<bool> shutDown_{false};
};

}  // namespace orvalt
