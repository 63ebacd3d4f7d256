#include "dashboard/LineClock.h"

#include "platform/LocalCalendar.h"
#include "platform/UtcTime.h"

namespace orvalt {

LineMoment LineMomentAt(std::chrono::system_clock::time_point now,
                        std::chrono::minutes notSeenAfter) {
    LineMoment moment;
    moment.now = UtcIsoTime(now);
    moment.todayStart = UtcIsoTime(StartOfLocalDay(now));
    moment.notSeenAfter = notSeenAfter;
    moment.stationsSince = UtcIsoTime(now - kStationsLookBack);
    moment.alarmsSince = UtcIsoTime(now - kAlarmsLookBack);
    return moment;
}

}  // namespace orvalt
