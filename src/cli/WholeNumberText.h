#pragma once
// A whole number as a shell passes it on the command line: digits with an
// optional minus sign and nothing around them, within the type's range.

#include <charconv>
#include <optional>
#include <string_view>

namespace orvalt {

template <class Int>
std::optional<Int> WholeNumberIn(std::string_view text) {
    Int value{};
    const char* const end = text.data() + text.size();
    const auto read = std::from_chars(text.data(), end, value);
    if (read.ec != std::errc() || read.ptr != end) {
        return std::nullopt;
    }
    return value;
}

}  // namespace orvalt
