#pragma once
// Times as the records keep them, read back: UTC, ISO 8601, to the
// millisecond ("2026-12-07T12:50:21.123Z").

#include <chrono>
#include <optional>
#include <string>

namespace orvalt {

using UtcMilliseconds = std::chrono::sys_time<std::chrono::milliseconds>;

// "YYYY-MM-DDTHH:MM:SS.mmmZ"; the milliseconds and the Z may be left out.
// None for anything else, or a date that does not exist.
std::optional<UtcMilliseconds> ParseUtcIsoTime(const std::string& text);

}  // namespace orvalt
