#pragma once
// What the window's list does with each decoded diagnostic line, without the
// toolkit: its rows (the newest 400) and the width of its one column.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "domain/DiagLine.h"

namespace orvalt {

struct DiagView {
    static constexpr std::size_t kMaxRows = 400;

    // Oldest first. A row is the line as far as its first NUL byte, as the
    // list shows it and SAV writes it.
    std::deque<std::string> rows;
    // Only ever grow: the widest row measured so far in pixels, and the
    // longest line seen so far in bytes.
    int widestRowPx = 0;
    std::size_t longestLineBytes = 0;
};

// The list's font, as the window measures with it. Without a measuring
// function (no list on screen) the column is never widened.
struct DiagTextMetrics {
    std::function<int(std::string_view text)> textWidthPx;
    int averageCharWidthPx = 0;
};

struct DiagLineResult {
    // The list's new item count; the newest row (rowCount - 1) is to be
    // selected and scrolled into view.
    std::size_t rowCount = 0;
    // The width column 0 must be set to, when it has to widen.
    std::optional<int> columnWidthPx;
};

// A decoded line becomes the newest row (dropping the oldest beyond 400).
DiagLineResult OnDiagLine(DiagView& view, const DiagLine& line, const DiagTextMetrics& metrics);

// The log's echo of a line while Extra Log is on: ">>Diag: %d %d %d" (fields
// 1, 3 and 2).
std::string DiagEchoText(const DiagFields& fields);

// CLR: the rows go; the DiagTable and the column width stay.
void OnDiagClear(DiagView& view);

}  // namespace orvalt
