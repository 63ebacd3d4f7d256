#pragma once
// Numbers typed by people into plan files and settings, read the way C's atof
// reads them (leading white space skipped, the longest numeric prefix used, 0
// when there is none) but always with a decimal point, whatever locale the
// process runs under: a window toolkit may set one, the station's files don't.

#include <string_view>

namespace orvalt {

double AtofText(std::string_view text);

// True when `text`, read as AtofText reads it, holds a numeric prefix at all.
bool HasNumericPrefix(std::string_view text);

}  // namespace orvalt
