#pragma once
// How long something has gone on, as a card shows it and as the page's
// script keeps counting it: "0:42", "4:12", "1:02:03", "2 d 3 h".

#include <cstdint>
#include <string>

namespace orvalt {

std::string ElapsedText(std::int64_t milliseconds);

}  // namespace orvalt
