#pragma once
// Rows of the trace kept as one compact block, column by column: lossless
// (every bit of each number, each text byte for byte), a few bytes a row.
//
// Layout: one format byte (1), the payload's length as a varint, then the
// payload compressed by zlib. The payload holds the row count and how many
// integer, real and text columns follow, then the columns in that order:
// each integer as the zig-zag varint of its difference from the one above
// (the first from 0, in wrapping 64-bit arithmetic); each real's IEEE 754
// bits XOR the previous real's, as eight byte planes, the most significant
// plane first; each text as a varint length and its bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"

namespace orvalt {

struct BlockColumns {
    std::vector<std::vector<std::int64_t>> integers;
    std::vector<std::vector<double>> reals;
    std::vector<std::vector<std::string>> texts;
};

// How many columns of each kind a block of one sort holds.
struct BlockShape {
    std::size_t integers = 0, reals = 0, texts = 0;
};

// Every column holds `rows` values.
std::string EncodeColumnBlock(const BlockColumns& columns, std::size_t rows);

// The columns back, or why the block can't be read: cut short, not
// decompressing, or holding another count of rows or columns than the shape
// expected (`rows` is the count stored beside the block).
Result<BlockColumns> DecodeColumnBlock(std::string_view block, std::int64_t rows, BlockShape shape);

}  // namespace orvalt
