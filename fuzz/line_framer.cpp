// The line framer driven as the link's dispatcher drives it: the bytes arrive
// in chunks of any size, each read no larger than the free room of the receive
// buffer, and after each read one pass frames what the buffer holds. What it
// posts must be exactly the lines a reader of the whole stream would cut: every
// line between two terminators that is neither empty nor too long for the
// buffer, in order, none with a CR or LF inside; every line too long is dropped
// once and reported once.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "diaglink/LineFramer.h"

namespace orvalt {
namespace {

constexpr std::size_t kLinkBufferSize = 8192;

struct Framed {
    std::vector<std::string> lines;
    std::size_t dropReports = 0;
    std::size_t leftInBuffer = 0;
};

bool IsEnd(char c) {
    return c == '\r' || c == '\n';
}

// The lines of the whole stream cut in one go, for comparison.
Framed CutWhole(std::string_view stream, std::size_t bufferSize) {
    Framed expected;
    std::size_t start = 0;
    for (std::size_t i = 0; i < stream.size(); ++i) {
        if (IsEnd(stream[i])) {
            const std::size_t length = i - start;
            if (length >= bufferSize) {
                ++expected.dropReports;
            } else if (length > 0) {
                expected.lines.emplace_back(stream.substr(start, length));
            }
            start = i + 1;
        }
    }
    const std::size_t tail = stream.size() - start;
    expected.dropReports += tail >= bufferSize ? 1 : 0;
    expected.leftInBuffer = tail >= bufferSize ? 0 : tail;
    return expected;
}

// Read sizes from a small generator, so that one seed covers many splits.
class ChunkSizes {
  public:
    ChunkSizes(std::uint32_t seed, std::size_t largest) : state_(seed | 1u), largest_(largest) {}
    std::size_t Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return 1 + (state_ >> 8) % largest_;
    }

  private:
    std::uint32_t state_;
    std::size_t largest_;
};

void PassOnce(LineFramer& framer, std::string& buffer, std::size_t bufferSize, Framed& framed) {
    const auto result = framer.Pass(buffer, [&](std::string_view line) {
        Require(!line.empty(), "no empty line is posted");
        Require(line.size() < bufferSize, "no posted line is longer than the buffer holds");
        Require(line.find_first_of("\r\n") == std::string_view::npos, "no CR or LF in a line");
        framed.lines.emplace_back(line);
    });
    Require(result.consumed <= buffer.size(), "a pass consumes only what it was given");
    Require(buffer.size() < bufferSize || result.consumed > 0, "a full buffer always drains");
    framed.dropReports += result.longLineDropped ? 1 : 0;
    buffer.erase(0, result.consumed);
}

// One opening of the link: a fresh buffer, the framer reset.
Framed FrameSession(LineFramer& framer, std::string_view stream, std::size_t bufferSize,
                    ChunkSizes& sizes) {
    framer.Reset();
    Framed framed;
    std::string buffer;
    while (!stream.empty()) {
        const std::size_t room = bufferSize - buffer.size();
        const std::size_t count = std::min({sizes.Next(), room, stream.size()});
        buffer.append(stream.substr(0, count));
        stream.remove_prefix(count);
        PassOnce(framer, buffer, bufferSize, framed);
    }
    framed.leftInBuffer = buffer.size();
    return framed;
}

void CheckSession(LineFramer& framer, std::string_view stream, std::size_t bufferSize,
                  ChunkSizes& sizes) {
    const Framed framed = FrameSession(framer, stream, bufferSize, sizes);
    const Framed expected = CutWhole(stream, bufferSize);
    Require(framed.lines == expected.lines, "the posted lines are the stream's lines");
    Require(framed.dropReports == expected.dropReports, "each long line is reported once");
    Require(framed.leftInBuffer == expected.leftInBuffer, "only an unended line waits");
}

}  // namespace
}  // namespace orvalt

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // The link's own size, or a small one that makes long lines cheap to reach.
    const std::size_t bufferSize = input.ConsumeBool()
                                       ? orvalt::kLinkBufferSize
                                       : input.ConsumeIntegralInRange<std::size_t>(1, 64);
    orvalt::ChunkSizes sizes(input.ConsumeIntegral<std::uint32_t>(),
                             input.ConsumeIntegralInRange<std::size_t>(1, 2 * bufferSize));
    orvalt::LineFramer framer(bufferSize);
    while (input.remaining_bytes() > 0) {
        const std::size_t sessionBytes =
            input.ConsumeIntegralInRange<std::size_t>(0, input.remaining_bytes());
        const std::string stream = input.ConsumeBytesAsString(sessionBytes);
        orvalt::CheckSession(framer, stream, bufferSize, sizes);
    }
    return 0;
}
