// The trace's compact blocks, read back from a database that may hold any
// bytes: a block either decodes to exactly the rows it claims, which encode
// and decode again to the same bits, or is refused; rows built from the input
// always come back bit for bit.

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "records/TraceBlocks.h"

namespace {

using orvalt::Require;

bool SameReadings(const std::vector<orvalt::SequencedReading>& a,
                  const std::vector<orvalt::SequencedReading>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].seq != b[i].seq || a[i].reading.ms != b[i].reading.ms ||
            std::bit_cast<std::uint64_t>(a[i].reading.volts) !=
                std::bit_cast<std::uint64_t>(b[i].reading.volts) ||
            a[i].reading.status != b[i].reading.status) {
            return false;
        }
    }
    return true;
}

// Rows of 8 + 8 + 8 bytes and a text of up to 3 bytes, taken from the input.
std::vector<orvalt::SequencedReading> ReadingsOf(std::string_view bytes) {
    std::vector<orvalt::SequencedReading> rows;
    while (bytes.size() >= 25) {
        orvalt::SequencedReading row;
        std::uint64_t volts = 0;
        std::memcpy(&row.seq, bytes.data(), 8);
        std::memcpy(&row.reading.ms, bytes.data() + 8, 8);
        std::memcpy(&volts, bytes.data() + 16, 8);
        row.reading.volts = std::bit_cast<double>(volts);
        const std::size_t text = static_cast<unsigned char>(bytes[24]) % 4;
        bytes.remove_prefix(25);
        row.reading.status = std::string(bytes.substr(0, text));
        bytes.remove_prefix(std::min(text, bytes.size()));
        rows.push_back(std::move(row));
    }
    return rows;
}

void DecodeAnyBlock(std::string_view bytes) {
    if (bytes.size() < 2) {
        return;
    }
    const std::int64_t count = static_cast<unsigned char>(bytes[0]);
    const std::string_view block = bytes.substr(1);
    if (const auto readings = orvalt::DecodeReadingBlock(block, count)) {
        Require(static_cast<std::int64_t>(readings->size()) == count,
                "a block decodes to the rows stored beside it");
        const auto again = orvalt::DecodeReadingBlock(orvalt::EncodeReadingBlock(*readings), count);
        Require(again && SameReadings(*again, *readings), "decoded rows encode to themselves");
    }
    if (const auto lines = orvalt::DecodeDiagBlock(block, count)) {
        Require(static_cast<std::int64_t>(lines->size()) == count,
                "a block decodes to the rows stored beside it");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = orvalt::BytesOf(data, size);
    if (bytes.empty()) {
        return 0;
    }
    if (bytes[0] & 1) {
        const auto rows = ReadingsOf(bytes.substr(1));
        const std::string block = orvalt::EncodeReadingBlock(rows);
        const auto back = orvalt::DecodeReadingBlock(block, static_cast<std::int64_t>(rows.size()));
        Require(back && SameReadings(*back, rows), "rows come back bit for bit");
        // The encoder's own block, with its count, is the best seed of the decoder.
        DecodeAnyBlock(std::string(1, static_cast<char>(rows.size() & 0xFF)) + block);
        return 0;
    }
    DecodeAnyBlock(bytes.substr(1));
    return 0;
}
