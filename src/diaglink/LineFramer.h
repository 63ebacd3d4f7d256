#pragma once
// Cuts the bytes received from the driver into text lines. Any CR or LF ends a
// line; empty lines are never handed on. A line that fills the whole receive
// buffer without ending can never be delivered: it is dropped as a whole, up to
// and including its terminator, so that the buffer does not stay full and the
// link goes on with the next line.

#include <cstddef>
#include <functional>
#include <string_view>

namespace orvalt {

class LineFramer {
  public:
    // bufferSize: the size of the receive buffer; a line is at most one less.
    explicit LineFramer(std::size_t bufferSize) : bufferSize_(bufferSize) {}

    struct PassResult {
        // Bytes from the front that are done with (lines, terminators, and the
        // bytes of a line being dropped). The rest waits for more input.
        std::size_t consumed = 0;
        // This pass found a line too long for the buffer and began to drop it.
        bool longLineDropped = false;
    };

    using LineSink = std::function<void(std::string_view line)>;

    // One pass over the unframed bytes, which start at the beginning of a line
    // (or in the middle of one being dropped).
    PassResult Pass(std::string_view bytes, const LineSink& onLine);

    // Forgets a line being dropped (the link was closed and opened anew).
    void Reset() { dropping_ = false; }

  private:
    std::size_t bufferSize_;
    bool dropping_ = false;
};

}  // namespace orvalt
