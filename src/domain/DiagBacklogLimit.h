#pragma once
// How many decoded diagnostic lines may wait for the session's handler thread:
// 65,536 lines (4.6 s of the fastest port's lines) or 2 MiB of their text,
// whichever comes first; beyond that the oldest waiting line goes (the
// DiagTable, filled first, still has it). The arithmetic:
// docs/design/diagnostic-link.md.

#include <cstddef>

namespace orvalt {

struct DiagBacklogLimit {
    std::size_t lines = 65536;
    std::size_t bytes = std::size_t{2} << 20;
};

}  // namespace orvalt
