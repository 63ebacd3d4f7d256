#include "platform/UtcTime.h"

#include <cstdio>
#include <ctime>

namespace orvalt {

std::string UtcIsoTime(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  static_cast<int>(ms % 1000));
    return text;
}

std::string UtcIsoNow() {
    return UtcIsoTime(std::chrono::system_clock::now());
}

}  // namespace orvalt
