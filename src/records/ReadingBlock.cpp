#include "records/ReadingBlock.h"

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
            if (!(byte & 0x80))
                return value;
        }
        return std::nullopt;
    }

    std::optional<std::string_view> Bytes(std::uint64_t count) {
        if (count > bytes_.size() - at_)
            return std::nullopt;
        const std::string_view taken = bytes_.substr(at_, count);
        at_ += count;
        return taken;
    }

    bool AtEnd() const { return at_ == bytes_.size(); }
    std::string_view Rest() const { return bytes_.substr(at_); }

  private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

void PutDifferences(std::string& out, const std::vector<SequencedReading>& readings,
                    std::int64_t (*field)(const SequencedReading&)) {
    std::uint64_t previous = 0;
    for (const SequencedReading& r : readings) {
        const auto value = static_cast<std::uint64_t>(field(r));
        PutVarint(out, ZigZag(value - previous));
        previous = value;
    }
}

std::uint64_t XorWithPrevious(const std::vector<SequencedReading>& readings, std::size_t i) {
    const auto bits = std::bit_cast<std::uint64_t>(readings[i].reading.volts);
    return i == 0 ? bits : bits ^ std::bit_cast<std::uint64_t>(readings[i - 1].reading.volts);
}

std::string Payload(const std::vector<SequencedReading>& readings) {
    std::string out;
    PutVarint(out, readings.size());
    PutDifferences(out, readings, [](const SequencedReading& r) { return r.seq; });
    PutDifferences(out, readings, [](const SequencedReading& r) { return r.reading.ms; });
    for (int plane = 7; plane >= 0; --plane)
        for (std::size_t i = 0; i < readings.size(); ++i)
            out += static_cast<char>(XorWithPrevious(readings, i) >> (plane * 8));
    for (const SequencedReading& r : readings) {
        PutVarint(out, r.reading.status.size());
        out += r.reading.status;
    }
    return out;
}

bool ReadDifferences(Reader& in, std::vector<SequencedReading>& readings,
                     std::int64_t& (*field)(SequencedReading&)) {
    std::uint64_t previous = 0;
    for (SequencedReading& r : readings) {
        const auto coded = in.Varint();
        if (!coded)
            return false;
        previous += FromZigZag(*coded);
        field(r) = static_cast<std::int64_t>(previous);
    }
    return true;
}

bool ReadVolts(Reader& in, std::vector<SequencedReading>& readings) {
    const auto planes = in.Bytes(readings.size() * 8);
    if (!planes)
        return false;
    std::uint64_t previous = 0;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        std::uint64_t bits = 0;
        for (std::size_t plane = 0; plane < 8; ++plane)
            bits = (bits << 8) | static_cast<unsigned char>((*planes)[plane * readings.size() + i]);
        previous ^= bits;
        readings[i].reading.volts = std::bit_cast<double>(previous);
    }
    return true;
}

bool ReadStatuses(Reader& in, std::vector<SequencedReading>& readings) {
    for (SequencedReading& r : readings) {
        const auto length = in.Varint();
        const auto text = length ? in.Bytes(*length) : std::nullopt;
        if (!text)
            return false;
        r.reading.status = std::string(*text);
    }
    return true;
}

Result<std::vector<SequencedReading>> FromPayload(std::string_view payload, std::int64_t count) {
    Reader in(payload);
    const auto stored = in.Varint();
    if (!stored || *stored > payload.size())
        return Fail(std::string("it is cut short"));
    if (*stored != static_cast<std::uint64_t>(count))
        return Fail("it holds " + std::to_string(*stored) + " readings, not the " +
                    std::to_string(count) + " stored beside it");
    std::vector<SequencedReading> readings(*stored);
    const bool read =
        ReadDifferences(
            in, readings, [](SequencedReading & r) -> auto& { return r.seq; }) &&
        ReadDifferences(
            in, readings, [](SequencedReading & r) -> auto& { return r.reading.ms; }) &&
        ReadVolts(in, readings) && ReadStatuses(in, readings);
    if (!read || !in.AtEnd())
        return Fail(std::string(read ? "it has bytes after its readings" : "it is cut short"));
    return readings;
}

Result<std::string> Inflated(std::string_view compressed, std::uint64_t size) {
    std::string payload(size, '\0');
    uLongf length = static_cast<uLongf>(size);
    const int code = uncompress(reinterpret_cast<Bytef*>(payload.data()), &length,
                                reinterpret_cast<const Bytef*>(compressed.data()),
                                static_cast<uLong>(compressed.size()));
    if (code != Z_OK || length != size)
        return Fail(std::string("its data does not decompress (") +
                    (code == Z_OK ? "wrong length" : zError(code)) + ")");
    return payload;
}

}  // namespace

std::string EncodeReadingBlock(const std::vector<SequencedReading>& readings) {
    const std::string payload = Payload(readings);
    uLongf length = compressBound(static_cast<uLong>(payload.size()));
    std::string compressed(length, '\0');
    // Level 9: a block is written once and small, so the best ratio costs little.
    compress2(reinterpret_cast<Bytef*>(compressed.data()), &length,
              reinterpret_cast<const Bytef*>(payload.data()), static_cast<uLong>(payload.size()),
              Z_BEST_COMPRESSION);
    compressed.resize(length);
    std::string block(1, kFormat);
    PutVarint(block, payload.size());
    return block + compressed;
}

Result<std::vector<SequencedReading>> DecodeReadingBlock(std::string_view block,
                                                         std::int64_t count) {
    if (block.empty() || block[0] != kFormat)
        return Fail(std::string("it is not a reading block of a known format"));
    Reader in(block.substr(1));
    const auto size = in.Varint();
    if (!size || *size > (in.Rest().size() + 1) * kMostInflation)
        return Fail(std::string("its length is damaged"));
    const Result<std::string> payload = Inflated(in.Rest(), *size);
    if (!payload)
        return Fail(payload.Error());
    return FromPayload(*payload, count);
}

}  // namespace orvalt
