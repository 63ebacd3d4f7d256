#include "records/TraceBlockRows.h"

#include <utility>

namespace orvalt {

namespace {

template <class Row>
RowWrite BlockRow(const TableShape& table, const std::string& uuid, const std::optional<int>& index,
                  const std::vector<Row>& rows, std::string block) {
    return {&table,
            {uuid, rows.front().seq, TestIndexValue(index), static_cast<std::int64_t>(rows.size()),
             SqlBytes{std::move(block)}}};
}

}  // namespace

SqlValue TestIndexValue(const std::optional<int>& testIndex) {
    return testIndex ? SqlValue(std::int64_t{*testIndex}) : SqlValue();
}

RowWrite ReadingBlockRow(const std::string& uuid, const std::optional<int>& testIndex,
                         const std::vector<SequencedReading>& readings) {
    return BlockRow(ReadingBlocksTable(), uuid, testIndex, readings, EncodeReadingBlock(readings));
}

RowWrite DiagBlockRow(const std::string& uuid, const std::optional<int>& testIndex,
                      const std::vector<SequencedDiagLine>& lines) {
    return BlockRow(DiagBlocksTable(), uuid, testIndex, lines, EncodeDiagBlock(lines));
}

}  // namespace orvalt
