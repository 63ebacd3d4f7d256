#pragma once
// The runner's status line on a terminal: "Test 2 of 5 | Wait 20.00 secs for
// to ensure OFF (12.3 s left) | Reading voltage = 4.50 #1", drawn from the
// run's status as the session publishes it and kept on one line of stderr by
// returning to its start and erasing it. Redrawn at most 10 times a second,
// and cleared before a log line goes out, so the log scrolls past it and
// stdout stays exactly the log. It never reaches the terminal's last column: a
// line the terminal wraps could not be taken back by the return to its start,
// and each redraw would leave a copy behind.

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "execution/RunStatus.h"

namespace orvalt {

class StatusLine {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kRedrawPeriod{100};

    explicit StatusLine(std::ostream& terminal) : terminal_(terminal) {}

    // The terminal's width (nothing: unknown, the text is not cut). The wait
    // gives way first, then the reading.
    void SetColumns(std::optional<int> columns) { columns_ = columns; }

    // Draws `status` when its text changed and the last drawing is 100 ms old.
    void DrawIfDue(const RunStatusNow& status, Clock::time_point now);
    // Erases the line, if it is shown.
    void Clear();

    // The text `status` is drawn as.
    std::string Text(const RunStatusNow& status) const;

  private:
    std::ostream& terminal_;
    std::optional<int> columns_;
    std::string shown_;
    std::optional<Clock::time_point> drawnAt_;
};

}  // namespace orvalt
