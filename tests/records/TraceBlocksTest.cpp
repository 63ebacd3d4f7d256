// The trace's blocks: whatever the recorder hands them comes back bit for
// bit, and a damaged block is an error, never other numbers.

#include <gtest/gtest.h>

#include <bit>
#include <limits>
#include <random>

#include <zlib.h>

#include "records/TraceBlocks.h"
#include "support/RecordsKit.h"

namespace orvalt::test {
namespace {

double RandomVolts(std::mt19937_64& random) {
    static const double kOdd[] = {0.0,
                                  -0.0,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN(),
                                  std::bit_cast<double>(std::uint64_t{0x7FF0000000000123}),
                                  std::numeric_limits<double>::denorm_min(),
                                  -10.3,
                                  1e300};
    switch (random() % 4) {
        case 0:
            return kOdd[random() % std::size(kOdd)];
        case 1:
            return std::bit_cast<double>(random());  // any bits at all
        default:  // a U3-like value: a 16-bit count times a calibration slope
            return static_cast<double>(random() % 65536) * 3.1580578e-4 - 10.5;
    }
}

std::int64_t RandomStep(std::mt19937_64& random) {
    switch (random() % 4) {
        case 0:
            return static_cast<std::int64_t>(random());  // a gap of any size, either way
        case 1:
            return -static_cast<std::int64_t>(random() % 100);
        default:
            return static_cast<std::int64_t>(random() % 300);
    }
}

std::string RandomStatus(std::mt19937_64& random) {
    std::string status = "Reading voltage = 0.00 #" + std::to_string(random() % 1000);
    if (random() % 5 == 0) {
        status.resize(random() % 300);
        for (char& c : status) {
            c = static_cast<char>(random());  // NUL and bytes that are not UTF-8
        }
    }
    return status;
}

std::vector<SequencedReading> RandomReadings(std::mt19937_64& random, std::size_t count) {
    std::vector<SequencedReading> readings(count);
    std::uint64_t seq = random(), ms = random();
    for (SequencedReading& r : readings) {
        seq += static_cast<std::uint64_t>(RandomStep(random));
        ms += static_cast<std::uint64_t>(RandomStep(random));
        r = {static_cast<std::int64_t>(seq),
             {static_cast<std::int64_t>(ms), RandomVolts(random), RandomStatus(random)}};
    }
    return readings;
}

bool SameBits(const std::vector<SequencedReading>& a, const std::vector<SequencedReading>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].seq != b[i].seq || !SameReadingBits(a[i].reading, b[i].reading)) {
            return false;
        }
    }
    return true;
}

// A block around a payload written by hand (its length below 128 bytes).
std::string BlockAround(const std::string& payload) {
    uLongf length = compressBound(static_cast<uLong>(payload.size()));
    std::string compressed(length, '\0');
    compress2(reinterpret_cast<Bytef*>(compressed.data()), &length,
              reinterpret_cast<const Bytef*>(payload.data()), static_cast<uLong>(payload.size()),
              Z_BEST_COMPRESSION);
    compressed.resize(length);
    return std::string{'\x01', static_cast<char>(payload.size())} + compressed;
}

TEST(TraceBlocksTest, AnyReadingsComeBackBitForBit) {
    std::mt19937_64 random(20261208);
    for (int trial = 0; trial < 400; ++trial) {
        const std::size_t count = trial < 3 ? static_cast<std::size_t>(trial) : random() % 700;
        const auto readings = RandomReadings(random, count);
        const std::string block = EncodeReadingBlock(readings);
        const auto back = DecodeReadingBlock(block, static_cast<std::int64_t>(count));
        ASSERT_TRUE(back.Ok()) << "trial " << trial << ": " << back.Error();
        ASSERT_TRUE(SameBits(*back, readings)) << "trial " << trial;
    }
}

TEST(TraceBlocksTest, AnyDiagnosticLinesComeBackBitForBit) {
    std::mt19937_64 random(99);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<SequencedDiagLine> lines(random() % 300);
        for (SequencedDiagLine& l : lines) {
            l = {RandomStep(random),
                 {RandomStep(random),
                  RandomStatus(random),
                  {static_cast<std::int64_t>(random()), RandomStep(random), -RandomStep(random)}}};
        }
        const auto back =
            DecodeDiagBlock(EncodeDiagBlock(lines), static_cast<std::int64_t>(lines.size()));
        ASSERT_TRUE(back.Ok()) << back.Error();
        ASSERT_EQ(back->size(), lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ((*back)[i].seq, lines[i].seq);
            EXPECT_EQ((*back)[i].line.ms, lines[i].line.ms);
            EXPECT_EQ((*back)[i].line.raw, lines[i].line.raw);
            EXPECT_EQ((*back)[i].line.fields, lines[i].line.fields);
        }
    }
    // A block of one kind is not read as the other.
    EXPECT_FALSE(DecodeReadingBlock(EncodeDiagBlock({{1, {2, "x", {}}}}), 1).Ok());
}

TEST(TraceBlocksTest, ATestOfTheExamplePlanTakesAFewBytesAReading) {
    std::vector<SequencedReading> readings;
    for (int i = 0; i < 205; ++i) {
        readings.push_back(
            {i * 2,
             {i * 10, i < 100 ? 0.0 : 9.87, "Reading voltage = 0.00 #" + std::to_string(i % 40)}});
    }
    EXPECT_LT(EncodeReadingBlock(readings).size(), 205u * 4);
}

// Every byte changed, and every length cut short: an error each time, but
// for the few bits that carry nothing (the padding at the end of the
// compressed stream), which give back the very same readings.
TEST(TraceBlocksTest, EveryDamagedOrCutBlockIsRefused) {
    std::mt19937_64 random(7);
    const auto readings = RandomReadings(random, 50);
    const std::string block = EncodeReadingBlock(readings);
    for (std::size_t at = 0; at < block.size(); ++at) {
        for (const unsigned char flip : {0x01, 0x80, 0xFF}) {
            std::string damaged = block;
            damaged[at] = static_cast<char>(damaged[at] ^ flip);
            const auto back = DecodeReadingBlock(damaged, 50);
            EXPECT_TRUE(!back.Ok() || SameBits(*back, readings)) << "byte " << at;
        }
        EXPECT_FALSE(DecodeReadingBlock(block.substr(0, at), 50).Ok()) << "cut at " << at;
    }
    const auto miscounted = DecodeReadingBlock(block, 51);
    ASSERT_FALSE(miscounted.Ok());
    EXPECT_EQ(miscounted.Error(), "it holds 50 rows, not the 51 stored beside it");
    // One row; the integer columns' count runs on past ten bytes, the other
    // counts fit a reading block.
    std::string overlongCount(1, '\x01');
    overlongCount.append(10, '\xFF').append("\x01\x01").append(8, '\0').push_back('\0');
    const auto unreadCount = DecodeReadingBlock(BlockAround(overlongCount), 1);
    ASSERT_FALSE(unreadCount.Ok());
    EXPECT_EQ(unreadCount.Error(), "it is cut short");
}

}  // namespace
}  // namespace orvalt::test
