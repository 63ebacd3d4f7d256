#pragma once
// Today's date on the machine's local calendar (its time zone).

namespace orvalt {

struct CalendarDay {
    int year = 0;   // e.g. 2026
    int month = 0;  // 1..12
    int day = 0;    // 1..31
};

CalendarDay TodayOnLocalCalendar();

}  // namespace orvalt
