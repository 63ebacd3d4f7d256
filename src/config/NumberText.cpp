#include "config/NumberText.h"

#include <locale.h>
#include <clocale>
#include <cstdlib>
#include <string>

namespace orvalt {

namespace {

// The "C" locale, made once: its decimal point is always '.'.
locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return locale;
}

// strtod needs a terminated text; the copy also stops at an embedded NUL,
// exactly as atof on the original bytes would.
double ParsePrefix(std::string_view text, bool& found) {
    const std::string copy(text.substr(0, text.find('\0')));
    char* end = nullptr;
    const double value = strtod_l(copy.c_str(), &end, CLocale());
    found = end != copy.c_str();
    return found ? value : 0.0;
}

}  // namespace

double AtofText(std::string_view text) {
    bool found = false;
    return ParsePrefix(text, found);
}

bool HasNumericPrefix(std::string_view text) {
    bool found = false;
    ParsePrefix(text, found);
    return found;
}

}  // namespace orvalt
