#pragma once
// A test's readings as one compact block: lossless (every bit of each value
// as the U3 gave it, each status label byte for byte), a few bytes a reading.
//
// Layout: one format byte (1), the payload's length as a varint, then the
// payload compressed by zlib. The payload holds the count, then column by
// column: each sequence number and time as the zig-zag varint of its
// difference from the one before (the first from 0); each value's IEEE 754
// bits XOR the previous value's, eight byte planes, most significant plane
// first; each status label as a varint length and its bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"
#include "records/RecordValues.h"

namespace orvalt {

// A reading with its place among the run's trace events.
struct SequencedReading {
    std::int64_t seq = 0;
    Reading reading;
};

std::string EncodeReadingBlock(const std::vector<SequencedReading>& readings);

// The readings back, or why the block can't be read: cut short, not
// decompressing, or holding another count than `count`, the count stored
// beside it.
Result<std::vector<SequencedReading>> DecodeReadingBlock(std::string_view block,
                                                         std::int64_t count);

}  // namespace orvalt
