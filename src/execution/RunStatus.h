#pragma once
// What the status strip says about the latest run: while it runs, the test it
// is in, the time left in the wait it announced and the time since Start; once
// it has ended, how it ended and what became of the unit's power, so that a
// finished station never looks busy. Times are the station clock's ticks,
// handed in, so the text is the same in real and in virtual time.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "domain/SessionObserver.h"
#include "execution/RunProgress.h"

namespace orvalt {

// RunEnd (how a run ended) is the observers' one, in domain/SessionObserver.h.

class RunStatus {
  public:
    // A run of `tests` tests began at `startTick`; its worker keeps `progress`.
    void Started(std::int32_t tests, std::uint32_t startTick,
                 std::shared_ptr<const RunProgress> progress);
    // Only the first end of a run counts: a stop that abandons the test in
    // progress is still a stop.
    void Ended(RunEnd end, std::uint32_t endTick);
    bool HasEnded() const { return end_.has_value(); }
    // What became of the unit's power after the run, shown after its end.
    void SetPowerNote(std::string note) { powerNote_ = std::move(note); }

    std::string Text(std::uint32_t nowTick) const;

  private:
    std::string RunningText(std::uint32_t nowTick) const;
    std::string EndedText() const;

    std::int32_t tests_ = 0;
    std::uint32_t startTick_ = 0;
    std::uint32_t endTick_ = 0;
    std::shared_ptr<const RunProgress> progress_;
    std::optional<RunEnd> end_;
    std::string powerNote_;
};

}  // namespace orvalt
