#include "diaglink/DiagView.h"

#include <algorithm>
#include <limits>

#include "domain/Format.h"

namespace orvalt {

namespace {

// The list's column width is a 16-bit value.
constexpr int kMaxColumnWidthPx = std::numeric_limits<std::int16_t>::max();

void KeepRow(DiagView& view, std::string row) {
    if (view.rows.size() == DiagView::kMaxRows) {
        view.rows.pop_front();
    }
    view.rows.push_back(std::move(row));
}

// The column is measured again only for a line longer than any before, and
// only ever widens.
std::optional<int> WidenColumn(DiagView& view, std::size_t lineBytes, const std::string& row,
                               const DiagTextMetrics& metrics) {
    if (lineBytes <= view.longestLineBytes) {
        return std::nullopt;
    }
    view.longestLineBytes = lineBytes;
    if (!metrics.textWidthPx) {
        return std::nullopt;  // nothing shows the list (the headless runner)
    }
    const int width = metrics.textWidthPx(row) + metrics.averageCharWidthPx;
    if (width <= view.widestRowPx) {
        return std::nullopt;
    }
    view.widestRowPx = width;
    return std::min(width, kMaxColumnWidthPx);
}

}  // namespace

DiagLineResult OnDiagLine(DiagView& view, const DiagLine& line, const DiagTextMetrics& metrics) {
    DiagLineResult result;
    std::string row(line.Row());
    result.columnWidthPx = WidenColumn(view, line.bytes.size(), row, metrics);
    KeepRow(view, std::move(row));
    result.rowCount = view.rows.size();
    return result;
}

std::string DiagEchoText(const DiagFields& fields) {
    return Format(">>Diag: %d %d %d", fields.field1, fields.field3, fields.field2);
}

void OnDiagClear(DiagView& view) {
    view.rows.clear();
}

}  // namespace orvalt
