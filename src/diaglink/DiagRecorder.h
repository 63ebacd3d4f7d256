#pragma once
// What happens to a received diagnostic line on the thread that received it,
// before any view sees it: decoded with the clock's time, its record appended
// to the DiagTable (where the Time-to-OFF judgement looks) and the session's
// observers told, with the time since the test's origin. So a measurement
// never waits for a window's event loop.

#include <cstdint>
#include <string_view>

#include "diaglink/DiagTable.h"
#include "domain/DiagLine.h"
#include "domain/SessionObservers.h"
#include "domain/TestOrigin.h"
#include "platform/Clock.h"

namespace orvalt {

// A line's exact bytes (CR/LF already cut off), decoded as received at `nowMs`.
DiagLine DecodeReceivedLine(std::string_view bytes, std::uint32_t nowMs);

class DiagRecorder {
  public:
    DiagRecorder(DiagTable& table, Clock& clock, SessionObservers& observers,
                 const TestOrigin& origin)
        : table_(table), clock_(clock), observers_(observers), origin_(origin) {}

    // Called on the receiving thread; returns the decoded line for the views.
    DiagLine Record(std::string_view bytes);

  private:
    DiagTable& table_;
    Clock& clock_;
    SessionObservers& observers_;
    const TestOrigin& origin_;
};

}  // namespace orvalt
