#pragma once
// A pseudo-terminal pair: a serial line inside the machine. The simulated driver
// writes its diagnostic lines into the master side while the diagnostic link
// reads the slave side as it would read a real port; the tests do the same.
//
// The pair is created in raw mode (no CR/LF translation, no echo), and it keeps
// a descriptor of its own on the slave side, so that the line stays up and the
// master can be written whether or not a reader has the slave open. Closing the
// master is a hang-up for every reader of the slave.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"

namespace orvalt {

class PseudoTerminal {
  public:
    // A new pair, or nothing (with errno set) when the system has none to give.
    static std::optional<PseudoTerminal> Open();

    // The device path a reader opens, such as /dev/pts/3.
    const std::string& SlavePath() const { return slavePath_; }
    bool MasterOpen() const { return master_.Valid(); }

    struct WriteResult {
        std::size_t written = 0;
        // 0, or the errno that stopped the write (EAGAIN when the time ran out
        // with the line full; EIO when the slave side has gone).
        int error = 0;
    };
    // Writes `bytes` into the master, waiting at most timeoutMs in all while the
    // line is full. A time-out of 0 writes what fits at once and drops the
    // rest, as a line nobody listens to would.
    WriteResult Write(std::string_view bytes, int timeoutMs);

    // Hangs the line up: readers of the slave see the far end gone.
    void CloseMaster();

    // Gives up this side's own slave descriptor, for a far end whose reader is
    // another process: that reader would see this process holding the port
    // and refuse it. Writes with no reader then fill the line until it is
    // full, as before.
    void ReleaseSlave() { slaveKeeper_.Reset(); }

  private:
    PseudoTerminal(UniqueFd master, UniqueFd slaveKeeper, std::string slavePath);

    UniqueFd master_;
    UniqueFd slaveKeeper_;
    std::string slavePath_;
};

}  // namespace orvalt
