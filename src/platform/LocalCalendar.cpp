#include "platform/LocalCalendar.h"

#include <ctime>

namespace orvalt {

CalendarDay TodayOnLocalCalendar() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return CalendarDay{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::chrono::system_clock::time_point StartOfLocalDay(std::chrono::system_clock::time_point when) {
    const std::time_t at = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&at, &local);
    local.tm_hour = 0;
    local.tm_min = 0;
    local.tm_sec = 0;
    local.tm_isdst = -1;  // whichever holds at midnight, not at `when`
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

}  // namespace orvalt
