#pragma once
// What the runner needs to run a simulated production lot beyond one run: the
// serial numbers of the lot's units, and the tally of their runs that gives
// the lot's last line and exit status.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "domain/TestVerdict.h"

namespace orvalt {

// Unit `number` of a lot of `units`: the prefix, then the number with four
// digits or as many as the lot's last unit needs, so the serial numbers sort
// in the order the units ran (SN-0001 ... SN-0200).
std::string LotSerial(std::string_view prefix, std::int64_t number, std::int64_t units);

// Returns once the wall clock's millisecond has turned. The recorder stamps a
// run's start to the millisecond, and a lot's runs are read back in the order
// of those stamps: a unit started after this never shares the last one's.
void AwaitNextMillisecond();

// How the units of a lot ended, one exit status and verdict word a unit.
class LotTally {
  public:
    // `verdict`: none when not judged.
    void Add(int unitStatus, std::optional<VerdictKind> verdict);
    std::int64_t Units() const { return units_; }
    // The lot's exit status: the gravest of its units', where a unit stopped
    // or abandoned outweighs a failed limit (a lot with both did not run to
    // its end), and a device that would not open outweighs both.
    int Status() const { return status_; }
    // "LOT: 200 of 200 units, 168 PASS, 32 FAIL, 0 ERROR" (the verdicts only
    // with limits), ", stopped" when it was.
    std::string Line(std::int64_t planned, bool judged, bool stopped) const;

  private:
    std::int64_t units_ = 0, passed_ = 0, failed_ = 0, errors_ = 0;
    int status_ = 0;
};

}  // namespace orvalt
