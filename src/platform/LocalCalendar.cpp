#include "platform/LocalCalendar.h"

#include <cstdio>
#include <ctime>
#include <mutex>

namespace orvalt {

namespace {

// localtime_r and mktime read the time zone and may load it again (tzset),
// which writes the C library's global zone state. The library guards it with
// a lock of its own that the thread sanitizer cannot see; taking ours around
// every such call in the program makes the order plain to it, and costs
// nothing next to the calls.
std::mutex& TimeZoneLock() {
    static std::mutex lock;
    return lock;
}

std::tm LocalTimeOf(std::time_t at) {
    std::tm local{};
    const std::scoped_lock zone(TimeZoneLock());
    localtime_r(&at, &local);
    return local;
}

// "UTC", "UTC+1", "UTC-3:30".
std::string ZoneText(long offsetSeconds) {
    const long minutes = (offsetSeconds < 0 ? -offsetSeconds : offsetSeconds) / 60;
    if (minutes == 0) {
        return "UTC";
    }
    char text[24];
    if (minutes % 60 == 0) {
        std::snprintf(text, sizeof text, "UTC%c%ld", offsetSeconds < 0 ? '-' : '+', minutes / 60);
    } else {
        std::snprintf(text, sizeof text, "UTC%c%ld:%02ld", offsetSeconds < 0 ? '-' : '+',
                      minutes / 60, minutes % 60);
    }
    return text;
}

}  // namespace

std::string LocalClockText(std::chrono::system_clock::time_point when,
                           std::chrono::system_clock::time_point now) {
    const std::tm local = LocalTimeOf(std::chrono::system_clock::to_time_t(when));
    const std::tm today = LocalTimeOf(std::chrono::system_clock::to_time_t(now));
    char text[48];
    if (local.tm_year == today.tm_year && local.tm_yday == today.tm_yday) {
        std::snprintf(text, sizeof text, "%02d:%02d ", local.tm_hour, local.tm_min);
    } else {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d ", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
    }
    return text + ZoneText(local.tm_gmtoff);
}

CalendarDay TodayOnLocalCalendar() {
    const std::tm local = LocalTimeOf(std::time(nullptr));
    return CalendarDay{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::chrono::system_clock::time_point StartOfLocalDay(std::chrono::system_clock::time_point when) {
    std::tm local = LocalTimeOf(std::chrono::system_clock::to_time_t(when));
    local.tm_hour = 0;
    local.tm_min = 0;
    local.tm_sec = 0;
    local.tm_isdst = -1;  // whichever holds at midnight, not at `when`
    const std::scoped_lock zone(TimeZoneLock());
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

}  // namespace orvalt
