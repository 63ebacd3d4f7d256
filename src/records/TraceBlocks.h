#pragma once
// A test's readings, and its diagnostic lines, as compact blocks
// (ColumnBlock.h), each with its place among the run's trace events: lossless,
// so the U3's every bit and the driver's every byte come back.
//
// A reading block's columns: seq and ms (integers), volts (a real), status (a
// text). A diagnostic block's: seq, ms, field_1 .. field_3 (integers), raw (a
// text).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"
#include "records/RecordValues.h"

namespace orvalt {

struct SequencedReading {
    std::int64_t seq = 0;
    Reading reading;
};

struct SequencedDiagLine {
    std::int64_t seq = 0;
    DiagLineRecord line;
};

std::string EncodeReadingBlock(const std::vector<SequencedReading>& readings);
std::string EncodeDiagBlock(const std::vector<SequencedDiagLine>& lines);

// The rows back, or why the block can't be read; `count` is the count stored
// beside it.
Result<std::vector<SequencedReading>> DecodeReadingBlock(std::string_view block,
                                                         std::int64_t count);
Result<std::vector<SequencedDiagLine>> DecodeDiagBlock(std::string_view block, std::int64_t count);

}  // namespace orvalt
