#pragma once
// Wall-clock time as the records keep it: UTC, ISO 8601 with milliseconds.

#include <chrono>
#include <string>

namespace orvalt {

// "2026-12-07T12:50:21.123Z"
std::string UtcIsoTime(std::chrono::system_clock::time_point when);
std::string UtcIsoNow();

}  // namespace orvalt
