#pragma once
// How long something has gone on, as a card shows it and as the page's
// script keeps counting it, in words that can't be read as a clock time:
// "42 s", "12 min", "1 h 02 min", "2 d 3 h".

#include <cstdint>
#include <string>

namespace orvalt {

std::string ElapsedText(std::int64_t milliseconds);

}  // namespace orvalt
