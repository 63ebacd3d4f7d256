#pragma once
// Where the latest run stands, as one value every front end reads: while it
// runs, the test it is in, the wait it announced with the time left, its last
// reading and the time since Start; once it has ended, how it ended and what
// became of the unit's power, so that a finished station never looks busy.
// Times are the station clock's ticks, handed in, so the value is the same in
// real and in virtual time.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "domain/SessionObserver.h"
#include "execution/RunProgress.h"

namespace orvalt {

// RunEnd (how a run ended) is the observers' one, in domain/SessionObserver.h.

struct WaitNow {
    std::string text;  // as the row's Wait cell shows it
    std::int32_t ms = 0;
    std::int32_t leftMs = 0;  // never below 0
    bool going = false;       // false once it ran out or was cut short
};

struct RunStatusNow {
    bool begun = false;  // false until the session's first run began
    std::int32_t tests = 0;
    std::int32_t test = -1;  // 0-based; -1 before the first test began
    std::optional<WaitNow> wait;
    std::optional<LightReading> reading;
    std::uint32_t elapsedMs = 0;  // from Start to now, or to the end once ended
    std::optional<RunEnd> end;
    // What became of the unit's power after the run (empty until then).
    std::string unitPower;
};

class RunStatus {
  public:
    // A run of `tests` tests began at `startTick`; its worker keeps `progress`.
    void Started(std::int32_t tests, std::uint32_t startTick,
                 std::shared_ptr<const RunProgress> progress);
    // Only the first end of a run counts: a stop that abandons the test in
    // progress is still a stop.
    void Ended(RunEnd end, std::uint32_t endTick);
    bool HasEnded() const { return end_.has_value(); }
    void SetPowerNote(std::string note) { powerNote_ = std::move(note); }

    RunStatusNow Now(std::uint32_t nowTick) const;

  private:
    std::int32_t tests_ = 0;
    std::uint32_t startTick_ = 0;
    std::uint32_t endTick_ = 0;
    std::shared_ptr<const RunProgress> progress_;
    std::optional<RunEnd> end_;
    std::string powerNote_;
};

// The window's status strip: "Test 2 of 3   Wait 4 s left   Elapsed 0:00:05",
// or "Run stopped   Elapsed 0:01:01   Unit power switched off".
std::string StripText(const RunStatusNow& status);

// A reading as the row's Status cell shows it: "Reading voltage = 4.50 #1".
std::string ReadingText(const LightReading& reading);

}  // namespace orvalt
