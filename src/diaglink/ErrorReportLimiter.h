#pragma once
// Keeps a failure that repeats at once (an unplugged adapter fails every wait)
// from flooding the window: the first failure is reported at once, later ones
// at most once per interval, as the latest text with the number of repeats.

#include <cstdint>
#include <optional>
#include <string>

namespace orvalt {

class ErrorReportLimiter {
  public:
    explicit ErrorReportLimiter(std::uint32_t intervalMs = 1000) : intervalMs_(intervalMs) {}

    // A failure at nowMs (a wrapping millisecond tick), `count` times over.
    // Returns the text to report now, if any; the first of a burst can be
    // reported at once, the rest are held as repeats.
    std::optional<std::string> Failure(std::string text, std::uint32_t nowMs, int count = 1);
    // The summary of the repeats held back, once the interval has passed.
    std::optional<std::string> Flush(std::uint32_t nowMs);
    // How long until Flush has something to say; nothing when nothing is held.
    std::optional<std::uint32_t> MsUntilFlush(std::uint32_t nowMs) const;

  private:
    bool IntervalPassed(std::uint32_t nowMs) const;
    std::string Report(std::string text, std::uint32_t nowMs);
    void Hold(std::string text, int count);

    std::uint32_t intervalMs_;
    bool reported_ = false;
    std::uint32_t lastReportMs_ = 0;
    int heldCount_ = 0;
    std::string heldText_;
};

}  // namespace orvalt
