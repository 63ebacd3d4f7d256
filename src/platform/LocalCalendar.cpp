#include "platform/LocalCalendar.h"

#include <ctime>

namespace orvalt {

CalendarDay TodayOnLocalCalendar() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return CalendarDay{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace orvalt
