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

// A completed test's summary kept field by field, so that every line made from
// it (the summary line, the totals line) is built from the texts themselves
// and never from another line split apart again.
struct SummaryFields {
    std::string date;  // "%02d-%02d-%02d": month, day, year minus 2000
    bool notCycling = false;
    UnitDescription unit;  // as at the run's start
    std::string figures;   // the ten figures and the four counts as shown, joined by ", "

    // The first three fields: the date, the constant 1 and the not-cycling
    // mark, joined by ", ".
    std::string Marks() const;
    // The summary line. Description texts holding a comma are quoted so that
    // every later field keeps its place; any other text is written as typed.
    std::string Text() const;
};

// `cycleN` (1..4) is the test's Time-to-OFF cycle: the voltages shown are
// those of that cycle.
SummaryFields SummarizeTest(const UnitDescription& text, int cycleN, const TestMeasurements& m,
                            const LocalDate& date);

// SummarizeTest's summary line.
std::string BuildSummaryLine(const UnitDescription& text, int cycleN, const TestMeasurements& m,
                             const LocalDate& date);

}  // namespace orvalt
