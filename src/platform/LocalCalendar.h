#pragma once
// Today's date on the machine's local calendar (its time zone).

#include <chrono>
#include <string>

namespace orvalt {

struct CalendarDay {
    int year = 0;   // e.g. 2026
    int month = 0;  // 1..12
    int day = 0;    // 1..31
};

CalendarDay TodayOnLocalCalendar();

// When the local day that holds `when` began: its midnight, or the first
// moment of the day where a change of the clock skips midnight.
std::chrono::system_clock::time_point StartOfLocalDay(std::chrono::system_clock::time_point when);

// `when` on the local clock with its zone as an offset: "14:02 UTC+1" on the
// local day of `now`, "2026-12-09 14:02 UTC+1" on another, "UTC" unshifted.
std::string LocalClockText(std::chrono::system_clock::time_point when,
                           std::chrono::system_clock::time_point now);

}  // namespace orvalt
