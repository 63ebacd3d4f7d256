#pragma once
// The moment the line page is read for, on the dashboard machine's clock and
// calendar: "today" starts at its local midnight.

#include <chrono>

#include "lineview/LineView.h"

namespace orvalt {

// How far back a fixture still gets a card, and an alarm can still be open.
inline constexpr std::chrono::hours kStationsLookBack{24};
inline constexpr std::chrono::hours kAlarmsLookBack{7 * 24};

LineMoment LineMomentAt(std::chrono::system_clock::time_point now,
                        std::chrono::minutes notSeenAfter);

}  // namespace orvalt
