#pragma once
// The runner's status line on a terminal: "Test 2 of 5 | Wait 20.00 secs for
// to ensure OFF (12.3 s left) | Reading voltage = 4.50 #1", kept on one line of
// stderr by returning to its start and erasing it. Redrawn at most 10 times a
// second, and cleared before a log line goes out, so the log scrolls past it
// and stdout stays exactly the log. It never reaches the terminal's last
// column: a line the terminal wraps could not be taken back by the return to
// its start, and each redraw would leave a copy behind.

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

namespace orvalt {

class StatusLine {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kRedrawPeriod{100};

    StatusLine(std::ostream& terminal, std::size_t plannedTests)
        : terminal_(terminal), planned_(plannedTests) {}

    void TestAt(int row) { row_ = row; }
    // A Wait text ("Wait 20.00 secs for ..."), counted down from `now`.
    void Wait(const std::string& text, Clock::time_point now);
    void Reading(const std::string& text) { reading_ = text; }
    // The terminal's width (nothing: unknown, the text is not cut). The Wait
    // text gives way first, then the reading.
    void SetColumns(std::optional<int> columns) { columns_ = columns; }

    // Draws the line when it changed and the last drawing is 100 ms old.
    void DrawIfDue(Clock::time_point now);
    // Erases the line, if it is shown.
    void Clear();

    // The text as it would be drawn at `now`.
    std::string Text(Clock::time_point now) const;

  private:
    std::string Head() const;
    std::string Countdown(Clock::time_point now) const;

    std::ostream& terminal_;
    std::size_t planned_;
    int row_ = -1;
    std::string wait_;
    std::optional<double> waitSeconds_;
    Clock::time_point waitFrom_;
    std::string reading_;
    std::optional<int> columns_;
    std::string shown_;
    std::optional<Clock::time_point> drawnAt_;
};

}  // namespace orvalt
