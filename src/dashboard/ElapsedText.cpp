#include "dashboard/ElapsedText.h"

#include <cstdio>

namespace orvalt {

std::string ElapsedText(std::int64_t milliseconds) {
    const long long seconds = milliseconds > 0 ? milliseconds / 1000 : 0;
    const long long minutes = seconds / 60, hours = minutes / 60, days = hours / 24;
    char text[48];
    if (days > 0) {
        std::snprintf(text, sizeof text, "%lld d %lld h", days, hours % 24);
    } else if (hours > 0) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes % 60, seconds % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", minutes, seconds % 60);
    }
    return text;
}

}  // namespace orvalt
