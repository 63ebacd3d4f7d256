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

// The block's rows, each made from the decoded columns by `make`.
template <class Row, class Make>
Result<std::vector<Row>> RowsOfBlock(std::string_view block, std::int64_t count, BlockShape shape,
                                     Make make) {
    Result<BlockColumns> decoded = DecodeColumnBlock(block, count, shape);
    if (!decoded) {
        return Fail(decoded.Error());
    }
    std::vector<Row> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        rows.push_back(make(*decoded, i));
    }
    return rows;
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
        for (std::size_t f = 0; f < 3; ++f) {
            c.integers[2 + f][i] = lines[i].line.fields[f];
        }
        c.texts[0][i] = lines[i].line.raw;
    }
    return EncodeColumnBlock(c, lines.size());
}

Result<std::vector<SequencedReading>> DecodeReadingBlock(std::string_view block,
                                                         std::int64_t count) {
    return RowsOfBlock<SequencedReading>(
        block, count, kReadingShape, [](BlockColumns& c, std::size_t i) {
            return SequencedReading{c.integers[0][i],
                                    {c.integers[1][i], c.reals[0][i], std::move(c.texts[0][i])}};
        });
}

Result<std::vector<SequencedDiagLine>> DecodeDiagBlock(std::string_view block, std::int64_t count) {
    return RowsOfBlock<SequencedDiagLine>(
        block, count, kDiagShape, [](BlockColumns& c, std::size_t i) {
            return SequencedDiagLine{c.integers[0][i],
                                     {c.integers[1][i],
                                      std::move(c.texts[0][i]),
                                      {c.integers[2][i], c.integers[3][i], c.integers[4][i]}}};
        });
}

}  // namespace orvalt
