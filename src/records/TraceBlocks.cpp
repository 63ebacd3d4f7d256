#include "records/TraceBlocks.h"

#include "records/ColumnBlock.h"

namespace orvalt {

namespace {

constexpr BlockShape kReadingShape{2, 1, 1};
constexpr BlockShape kDiagShape{5, 0, 1};

BlockColumns EmptyColumns(BlockShape shape, std::size_t rows) {
    BlockColumns columns;
    columns.integers.assign(shape.integers, std::vector<std::int64_t>(rows));
    columns.reals.assign(shape.reals, std::vector<double>(rows));
    columns.texts.assign(shape.texts, std::vector<std::string>(rows));
    return columns;
}

}  // namespace

std::string EncodeReadingBlock(const std::vector<SequencedReading>& readings) {
    BlockColumns c = EmptyColumns(kReadingShape, readings.size());
    for (std::size_t i = 0; i < readings.size(); ++i) {
        c.integers[0][i] = readings[i].seq;
        c.integers[1][i] = readings[i].reading.ms;
        c.reals[0][i] = readings[i].reading.volts;
        c.texts[0][i] = readings[i].reading.status;
    }
    return EncodeColumnBlock(c, readings.size());
}

std::string EncodeDiagBlock(const std::vector<SequencedDiagLine>& lines) {
    BlockColumns c = EmptyColumns(kDiagShape, lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        c.integers[0][i] = lines[i].seq;
        c.integers[1][i] = lines[i].line.ms;
        for (std::size_t f = 0; f < 3; ++f)
            c.integers[2 + f][i] = lines[i].line.fields[f];
        c.texts[0][i] = lines[i].line.raw;
    }
    return EncodeColumnBlock(c, lines.size());
}

Result<std::vector<SequencedReading>> DecodeReadingBlock(std::string_view block,
                                                         std::int64_t count) {
    Result<BlockColumns> decoded = DecodeColumnBlock(block, count, kReadingShape);
    if (!decoded)
        return Fail(decoded.Error());
    BlockColumns& c = *decoded;
    std::vector<SequencedReading> readings(c.integers[0].size());
    for (std::size_t i = 0; i < readings.size(); ++i)
        readings[i] = {c.integers[0][i],
                       {c.integers[1][i], c.reals[0][i], std::move(c.texts[0][i])}};
    return readings;
}

Result<std::vector<SequencedDiagLine>> DecodeDiagBlock(std::string_view block, std::int64_t count) {
    Result<BlockColumns> decoded = DecodeColumnBlock(block, count, kDiagShape);
    if (!decoded)
        return Fail(decoded.Error());
    BlockColumns& c = *decoded;
    std::vector<SequencedDiagLine> lines(c.integers[0].size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        lines[i] = {c.integers[0][i],
                    {c.integers[1][i],
                     std::move(c.texts[0][i]),
                     {c.integers[2][i], c.integers[3][i], c.integers[4][i]}}};
    return lines;
}

}  // namespace orvalt
