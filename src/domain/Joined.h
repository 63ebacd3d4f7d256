#pragma once
// Texts on one line with ", " between them, as the station's messages and its
// records list them (a verdict's reasons, a plan row's texts, column names).

#include <string>
#include <string_view>

namespace orvalt {

template <class Texts>
std::string Joined(const Texts& parts, std::string_view separator = ", ") {
    std::string text;
    for (const auto& part : parts) {
        if (!text.empty()) {
            text += separator;
        }
        text += part;
    }
    return text;
}

}  // namespace orvalt
