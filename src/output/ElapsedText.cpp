#include "output/ElapsedText.h"

#include <cstdio>

namespace orvalt {

std::string ElapsedText(std::int64_t milliseconds) {
    const long long seconds = milliseconds > 0 ? milliseconds / 1000 : 0;
    const long long minutes = seconds / 60, hours = minutes / 60, days = hours / 24;
    char text[48];
    if (days > 0) {
        std::snprintf(text, sizeof text, "%lld d %lld h", days, hours % 24);
    } else if (hours > 0) {
        std::snprintf(text, sizeof text, "%lld h %02lld min", hours, minutes % 60);
    } else if (minutes > 0) {
        std::snprintf(text, sizeof text, "%lld min", minutes);
    } else {
        std::snprintf(text, sizeof text, "%lld s", seconds);
    }
    return text;
}

}  // namespace orvalt
