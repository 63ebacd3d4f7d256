#include "verdict/ShownNumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "domain/FormatFixed.h"

namespace orvalt {

namespace {

constexpr std::size_t kMaxWholeDigits = 12;

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view WithoutSign(std::string_view text) {
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        text.remove_prefix(1);
    }
    return text;
}

int SignificantDecimals(std::string_view fraction) {
    const std::size_t last = fraction.find_last_not_of('0');
    return last == std::string_view::npos ? 0 : static_cast<int>(last + 1);
}

std::size_t WholeDigits(std::string_view whole) {
    const std::size_t first = whole.find_first_not_of('0');
    return first == std::string_view::npos ? 0 : whole.size() - first;
}

}  // namespace

std::string ShownText(double value, int decimals) {
    return FormatFixed(value, decimals);
}

double ShownValue(double value, int decimals) {
    if (!std::isfinite(value)) {
        return value;
    }
    const std::string text = ShownText(value, decimals);
    double shown = value;
    std::from_chars(text.data(), text.data() + text.size(), shown);
    return shown;
}

std::optional<DecimalText> ParseDecimal(std::string_view text) {
    const std::string_view unsigned_ = WithoutSign(text);
    const std::size_t point = unsigned_.find('.');
    const std::string_view whole = unsigned_.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view{} : unsigned_.substr(point + 1);
    if (whole.size() + fraction.size() == 0 || !AllDigits(whole) || !AllDigits(fraction) ||
        WholeDigits(whole) > kMaxWholeDigits) {
        return std::nullopt;
    }
    DecimalText parsed;
    // from_chars takes no '+' sign; the digits alone, then the sign.
    std::from_chars(unsigned_.data(), unsigned_.data() + unsigned_.size(), parsed.value,
                    std::chars_format::fixed);
    if (text.front() == '-' && parsed.value != 0.0) {
        parsed.value = -parsed.value;
    }
    parsed.decimals = SignificantDecimals(fraction);
    return parsed;
}

}  // namespace orvalt
