#include "domain/IsoTime.h"

namespace orvalt {

namespace {

// The digits of `text` from `at`, `count` of them; none when one is no digit.
std::optional<int> DigitsAt(const std::string& text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace

std::optional<UtcMilliseconds> ParseUtcIsoTime(const std::string& text) {
    namespace chrono = std::chrono;
    const auto y = DigitsAt(text, 0, 4), mo = DigitsAt(text, 5, 2), d = DigitsAt(text, 8, 2);
    const auto h = DigitsAt(text, 11, 2), mi = DigitsAt(text, 14, 2), s = DigitsAt(text, 17, 2);
    if (!y || !mo || !d || !h || !mi || !s || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    const chrono::year_month_day date{chrono::year(*y), chrono::month(static_cast<unsigned>(*mo)),
                                      chrono::day(static_cast<unsigned>(*d))};
    if (!date.ok()) {
        return std::nullopt;
    }
    std::optional<int> ms = 0;
    std::size_t end = 19;
    if (end < text.size() && text[end] == '.') {
        ms = DigitsAt(text, 20, 3);
        end = 23;
    }
    end += end < text.size() && text[end] == 'Z' ? 1 : 0;
    if (!ms || end != text.size()) {
        return std::nullopt;
    }
    return chrono::sys_days(date) + chrono::hours(*h) + chrono::minutes(*mi) + chrono::seconds(*s) +
           chrono::milliseconds(*ms);
}

}  // namespace orvalt
