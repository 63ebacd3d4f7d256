#pragma once
// The one-line summary of a completed test: date, unit description and the
// test's key figures, 24 fields joined by ", ".

#include <string>

#include "domain/TestMeasurements.h"
#include "domain/UnitDescription.h"
#include "platform/LocalCalendar.h"

namespace orvalt {

using LocalDate = CalendarDay;

// The calendar date of the station's local time zone, now.
inline LocalDate TodayLocal() {
    return TodayOnLocalCalendar();
}

// `cycleN` (1..4) is the test's Time-to-OFF cycle: the voltages shown are
// those of that cycle. Description texts holding a comma or a double quote are
// quoted so that every later field keeps its place.
std::string BuildSummaryLine(const UnitDescription& text, int cycleN, const TestMeasurements& m,
                             const LocalDate& date);

}  // namespace orvalt
