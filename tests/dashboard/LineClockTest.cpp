// The moment the line is read for: "today" begins at the dashboard
// machine's local midnight, also on the day its clock changes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "dashboard/LineClock.h"

namespace orvalt::test {
namespace {

// The machine's time zone for a while; the tests' own (none set) after.
class TimeZone {
  public:
    explicit TimeZone(const char* zone) {
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        unsetenv("TZ");
        tzset();
    }
};

std::chrono::system_clock::time_point At(int year, unsigned month, unsigned day, int hour,
                                         int minute) {
    return std::chrono::sys_days(std::chrono::year(year) / month / day) + std::chrono::hours(hour) +
           std::chrono::minutes(minute);
}

TEST(LineClock, TodayBeginsAtLocalMidnightAndTheLookBacksCountFromNow) {
    const TimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    // 02:30 in Berlin is still the evening before in UTC.
    const LineMoment winter = LineMomentAt(At(2026, 12, 7, 1, 30), std::chrono::minutes(25));
    EXPECT_EQ(winter.now, "2026-12-07T01:30:00.000Z");
    EXPECT_EQ(winter.todayStart, "2026-12-06T23:00:00.000Z");
    EXPECT_EQ(winter.notSeenAfter, std::chrono::minutes(25));
    EXPECT_EQ(winter.stationsSince, "2026-12-06T01:30:00.000Z");
    EXPECT_EQ(winter.alarmsSince, "2026-11-30T01:30:00.000Z");
    // The day the clocks go forward began in winter time.
    EXPECT_EQ(LineMomentAt(At(2026, 3, 29, 12, 0), std::chrono::minutes(10)).todayStart,
              "2026-03-28T23:00:00.000Z");
    EXPECT_EQ(LineMomentAt(At(2026, 3, 30, 12, 0), std::chrono::minutes(10)).todayStart,
              "2026-03-29T22:00:00.000Z");
}

}  // namespace
}  // namespace orvalt::test
