#include "domain/U3SerialNumber.h"

#include <charconv>

namespace orvalt {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

bool SerialNumberMatches(std::string_view wanted, std::uint32_t serialNumber) {
    const std::string_view digits = TrimBlanks(wanted);
    const char* end = digits.data() + digits.size();
    std::uint32_t value = 0;
    const auto parsed = std::from_chars(digits.data(), end, value);
    return !digits.empty() && parsed.ec == std::errc() && parsed.ptr == end &&
           value == serialNumber;
}

bool AsksForAnyU3(std::string_view text) {
    return TrimBlanks(text).empty();
}

}  // namespace orvalt
