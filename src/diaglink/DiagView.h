#pragma once
// What the window does with each diagnostic line, without the toolkit: the
// list's rows (the newest 400), the width of its one column, the decoded
// record for the DiagTable and the ">>Diag:" echo in the log.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "diaglink/DiagTable.h"
#include "execution/RunRecord.h"
#include "platform/Clock.h"

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

// Where a line goes besides the view.
struct DiagLineSinks {
    DiagTable& table;
    Clock& clock;
    const RunState& runState;
    DiagTextMetrics metrics;
};

struct DiagLineResult {
    // The list's new item count; the newest row (rowCount - 1) is to be
    // selected and scrolled into view.
    std::size_t rowCount = 0;
    // The width column 0 must be set to, when it has to widen.
    std::optional<int> columnWidthPx;
};

// A line as WM_DIAG_LINE brought it (its exact bytes, CR/LF already cut off):
// kept as the newest row (dropping the oldest beyond 400), decoded into a
// record with the clock's time, and echoed as ">>Diag: %d %d %d" (fields 1, 3
// and 2) to the run's progress window while Extra Log is on.
DiagLineResult OnDiagLine(DiagView& view, const std::string& line, DiagLineSinks& sinks);

// CLR: the rows go; the DiagTable and the column width stay.
void OnDiagClear(DiagView& view);

}  // namespace orvalt
