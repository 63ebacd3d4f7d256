#pragma once
// A barcode scanner is a keyboard that types a whole number in a burst and
// ends it with Enter, far faster than a hand types. Telling the two apart lets
// a scan that lands in the wrong field be taken back out of it: a person's
// typing followed by Enter stays where it was typed.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvalt {

class ScanRecognizer {
  public:
    // No two keys of a scan lie further apart than this.
    static constexpr std::uint64_t kMaxGapMs = 50;
    // Shorter bursts are a person's keys, however quick.
    static constexpr std::size_t kMinLength = 3;

    // A key that typed `text` at `nowMs` (milliseconds of any steady clock).
    // True when it begins a new burst: the caller keeps what the field held
    // before it, to take the burst out again should it prove to be a scan.
    bool Typed(std::string_view text, std::uint64_t nowMs);
    // Any other key (a cursor key, Backspace, Tab): no scan goes on across it.
    void Interrupted() { burst_.clear(); }
    // Enter at `nowMs`: the text of the burst just before it when that came
    // as a scanner types it; the burst ends either way.
    std::optional<std::string> Entered(std::uint64_t nowMs);

  private:
    bool Recent(std::uint64_t nowMs) const { return nowMs - lastMs_ <= kMaxGapMs; }

    std::string burst_;
    std::uint64_t lastMs_ = 0;
};

}  // namespace orvalt
