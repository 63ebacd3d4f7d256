#pragma once
// How many decoded diagnostic lines may wait for the session's handler thread.
//
// The fastest port the link opens runs at 4,000,000 baud: 400,000 bytes a
// second at 10 bits a byte. A driver's line is 28 bytes on the wire (three
// 8-digit fields, two blanks, CR LF), so at most 14,286 lines arrive a second.
// 65,536 lines are 4.6 s of that: a window that stalls for a few seconds loses
// nothing, and a far end that sends faster than any serial line (a flooding
// pseudo-terminal) cannot grow the queue past about 20 MB. Longer lines are
// bounded by their bytes as well: 2 MiB of line text is 5.2 s of wire time.
// Beyond either bound the oldest waiting line goes; the DiagTable, filled
// before the queue, still has it.

#include <cstddef>

namespace orvalt {

struct DiagBacklogLimit {
    std::size_t lines = 65536;
    std::size_t bytes = std::size_t{2} << 20;
};

}  // namespace orvalt
