#pragma once
// Which run keys a reader that reads the records again and again must look
// at again. A run takes its key when its first rows land, so "keyed after the
// newest key of the last read" means "landed since". On a server keys are
// taken in one order and committed in another, though: a station's
// transaction may take key 100 before another takes 101 and commit after it,
// so a read can find 101 while 100 is not there yet. Every key after the
// newest of a read at least `settle` before the last one is therefore looked
// at again (a station's transaction commits well within it). SQLite has one
// writer at a time, which takes its key inside its transaction: its keys
// commit in their order and need no settling.

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

#include "base/Result.h"
#include "records/SqlConnection.h"

namespace orvalt {

// The greatest run key; none while no run has one.
Result<std::optional<std::int64_t>> NewestRunKey(SqlConnection& connection);

class SettledKeys {
  public:
    using Clock = std::chrono::steady_clock;

    explicit SettledKeys(std::chrono::seconds settle = std::chrono::seconds(5));

    // The newest key (NewestRunKey) as a read found it at `at`, read before
    // the runs it read.
    void Note(Clock::time_point at, std::optional<std::int64_t> newest);
    // The key after which a run may have landed since the last read noted;
    // none while no read noted is that old (a reader that just began): any run
    // may have.
    std::optional<std::int64_t> LandedAfter(SqlDialect dialect);
    void Forget();

  private:
    std::chrono::seconds settle_;
    // The newest key at each read since the oldest one that is settled.
    std::deque<std::pair<Clock::time_point, std::int64_t>> newest_;
};

}  // namespace orvalt
