#include "records/ColumnBlock.h"

#include <zlib.h>

#include <bit>
#include <optional>

namespace orvalt {

namespace {

constexpr char kFormat = 1;
// zlib inflates a byte to at most 1032: a longer payload is damage, and is
// never allocated.
constexpr std::uint64_t kMostInflation = 1032;

void PutVarint(std::string& out, std::uint64_t value) {
    while (value >= 0x80) {
        out += static_cast<char>((value & 0x7F) | 0x80);
        value >>= 7;
    }
    out += static_cast<char>(value);
}

// Wrapping differences: any two 64-bit values, however far apart, come back.
std::uint64_t ZigZag(std::uint64_t difference) {
    const auto signedDifference = static_cast<std::int64_t>(difference);
    return (difference << 1) ^ static_cast<std::uint64_t>(signedDifference >> 63);
}

std::uint64_t FromZigZag(std::uint64_t coded) {
    return (coded >> 1) ^ (~(coded & 1) + 1);
}

class Reader {
  public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    std::optional<std::uint64_t> Varint() {
        std::uint64_t value = 0;
        for (int shift = 0; shift < 64 && at_ < bytes_.size(); shift += 7) {
            const auto byte = static_cast<unsigned char>(bytes_[at_++]);
            value |= std::uint64_t{byte & 0x7Fu} << shift;
            if (!(byte & 0x80)) {
                return value;
            }
        }
        return std::nullopt;
    }

    std::optional<std::string_view> Bytes(std::uint64_t count) {
        if (count > bytes_.size() - at_) {
            return std::nullopt;
        }
        const std::string_view taken = bytes_.substr(at_, count);
        at_ += count;
        return taken;
    }

    bool AtEnd() const { return at_ == bytes_.size(); }
    std::size_t Left() const { return bytes_.size() - at_; }
    std::string_view Rest() const { return bytes_.substr(at_); }

  private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

void PutIntegers(std::string& out, const std::vector<std::int64_t>& column) {
    std::uint64_t previous = 0;
    for (const std::int64_t value : column) {
        PutVarint(out, ZigZag(static_cast<std::uint64_t>(value) - previous));
        previous = static_cast<std::uint64_t>(value);
    }
}

void PutReals(std::string& out, const std::vector<double>& column) {
    std::vector<std::uint64_t> changes(column.size());
    std::uint64_t previous = 0;
    for (std::size_t i = 0; i < column.size(); ++i) {
        const auto bits = std::bit_cast<std::uint64_t>(column[i]);
        changes[i] = bits ^ previous;
        previous = bits;
    }
    for (int plane = 7; plane >= 0; --plane) {
        for (const std::uint64_t change : changes) {
            out += static_cast<char>(change >> (plane * 8));
        }
    }
}

void PutTexts(std::string& out, const std::vector<std::string>& column) {
    for (const std::string& text : column) {
        PutVarint(out, text.size());
        out += text;
    }
}

std::string Payload(const BlockColumns& columns, std::size_t rows) {
    std::string out;
    for (const std::size_t count :
         {rows, columns.integers.size(), columns.reals.size(), columns.texts.size()}) {
        PutVarint(out, count);
    }
    for (const auto& column : columns.integers) {
        PutIntegers(out, column);
    }
    for (const auto& column : columns.reals) {
        PutReals(out, column);
    }
    for (const auto& column : columns.texts) {
        PutTexts(out, column);
    }
    return out;
}

std::optional<std::vector<std::int64_t>> ReadIntegers(Reader& in, std::size_t rows) {
    std::vector<std::int64_t> column(rows);
    std::uint64_t previous = 0;
    for (std::int64_t& value : column) {
        const auto coded = in.Varint();
        if (!coded) {
            return std::nullopt;
        }
        previous += FromZigZag(*coded);
        value = static_cast<std::int64_t>(previous);
    }
    return column;
}

std::optional<std::vector<double>> ReadReals(Reader& in, std::size_t rows) {
    const auto planes = in.Bytes(rows * 8);
    if (!planes) {
        return std::nullopt;
    }
    std::vector<double> column(rows);
    std::uint64_t previous = 0;
    for (std::size_t i = 0; i < rows; ++i) {
        std::uint64_t change = 0;
        for (std::size_t plane = 0; plane < 8; ++plane) {
            change = (change << 8) | static_cast<unsigned char>((*planes)[plane * rows + i]);
        }
        previous ^= change;
        column[i] = std::bit_cast<double>(previous);
    }
    return column;
}

std::optional<std::vector<std::string>> ReadTexts(Reader& in, std::size_t rows) {
    std::vector<std::string> column(rows);
    for (std::string& text : column) {
        const auto length = in.Varint();
        const auto bytes = length ? in.Bytes(*length) : std::nullopt;
        if (!bytes) {
            return std::nullopt;
        }
        text = std::string(*bytes);
    }
    return column;
}

// Each column in turn; false when one is cut short.
template <class Column, class Read>
bool ReadColumns(Reader& in, std::size_t count, std::size_t rows, std::vector<Column>& into,
                 Read read) {
    for (std::size_t i = 0; i < count; ++i) {
        std::optional<Column> column = read(in, rows);
        if (!column) {
            return false;
        }
        into.push_back(std::move(*column));
    }
    return true;
}

Result<BlockColumns> FromPayload(std::string_view payload, std::int64_t rows, BlockShape shape) {
    Reader in(payload);
    const auto stored = in.Varint();
    const auto integers = in.Varint(), reals = in.Varint(), texts = in.Varint();
    // A count cut short leaves the next ones read from the wrong place, so
    // each is checked before any is used.
    if (!stored || !integers || !reals || !texts || *stored > payload.size()) {
        return Fail(std::string("it is cut short"));
    }
    if (*stored != static_cast<std::uint64_t>(rows)) {
        return Fail("it holds " + std::to_string(*stored) + " rows, not the " +
                    std::to_string(rows) + " stored beside it");
    }
    if (*integers != shape.integers || *reals != shape.reals || *texts != shape.texts) {
        return Fail(std::string("its columns are not those of its kind"));
    }
    const auto count = static_cast<std::size_t>(*stored);
    BlockColumns columns;
    const bool read = ReadColumns(in, shape.integers, count, columns.integers, ReadIntegers) &&
                      ReadColumns(in, shape.reals, count, columns.reals, ReadReals) &&
                      ReadColumns(in, shape.texts, count, columns.texts, ReadTexts);
    if (!read || !in.AtEnd()) {
        return Fail(std::string(read ? "it has bytes after its rows" : "it is cut short"));
    }
    return columns;
}

Result<std::string> Inflated(std::string_view compressed, std::uint64_t size) {
    std::string payload(size, '\0');
    uLongf length = static_cast<uLongf>(size);
    const int code = uncompress(reinterpret_cast<Bytef*>(payload.data()), &length,
                                reinterpret_cast<const Bytef*>(compressed.data()),
                                static_cast<uLong>(compressed.size()));
    if (code != Z_OK || length != size) {
        return Fail(std::string("its data does not decompress (") +
                    (code == Z_OK ? "wrong length" : zError(code)) + ")");
    }
    return payload;
}

// compress2 sets up and frees zlib's state (a few hundred KB) for every
// block, and the writer makes a block per batch: each writing thread keeps one
// state and resets it. The bytes are those compress2 makes at the same level.
class Deflater {
  public:
    Deflater() { ready_ = deflateInit(&stream_, kLevel) == Z_OK; }
    ~Deflater() {
        if (ready_) {
            deflateEnd(&stream_);
        }
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    std::string Compress(const std::string& payload) {
        if (!ready_ || deflateReset(&stream_) != Z_OK) {
            return CompressAlone(payload);
        }
        std::string compressed(deflateBound(&stream_, static_cast<uLong>(payload.size())), '\0');
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(payload.data()));
        stream_.avail_in = static_cast<uInt>(payload.size());
        stream_.next_out = reinterpret_cast<Bytef*>(compressed.data());
        stream_.avail_out = static_cast<uInt>(compressed.size());
        if (deflate(&stream_, Z_FINISH) != Z_STREAM_END) {
            return CompressAlone(payload);
        }
        compressed.resize(stream_.total_out);
        return compressed;
    }

  private:
    // Level 9: a block is written once and small, so the best ratio costs little.
    static constexpr int kLevel = Z_BEST_COMPRESSION;

    static std::string CompressAlone(const std::string& payload) {
        uLongf length = compressBound(static_cast<uLong>(payload.size()));
        std::string compressed(length, '\0');
        compress2(reinterpret_cast<Bytef*>(compressed.data()), &length,
                  reinterpret_cast<const Bytef*>(payload.data()),
                  static_cast<uLong>(payload.size()), kLevel);
        compressed.resize(length);
        return compressed;
    }

    z_stream stream_{};
    bool ready_ = false;
};

}  // namespace

std::string EncodeColumnBlock(const BlockColumns& columns, std::size_t rows) {
    thread_local Deflater deflater;
    const std::string payload = Payload(columns, rows);
    std::string block(1, kFormat);
    PutVarint(block, payload.size());
    return block + deflater.Compress(payload);
}

Result<BlockColumns> DecodeColumnBlock(std::string_view block, std::int64_t rows,
                                       BlockShape shape) {
    if (block.empty() || block[0] != kFormat) {
        return Fail(std::string("it is not a block of a known format"));
    }
    Reader in(block.substr(1));
    const auto size = in.Varint();
    if (!size || *size > (in.Left() + 1) * kMostInflation) {
        return Fail(std::string("its length is damaged"));
    }
    const Result<std::string> payload = Inflated(in.Rest(), *size);
    if (!payload) {
        return Fail(payload.Error());
    }
    return FromPayload(*payload, rows, shape);
}

}  // namespace orvalt
