#include "diaglink/NextHexField.h"

#include <optional>

namespace orvalt {

namespace {

constexpr const char* kWhiteSpace = " \t\n\v\f\r";

std::string TakeField(std::string& text) {
    const auto blank = text.find(' ');
    std::string field = text.substr(0, blank);
    text = blank == std::string::npos ? std::string() : text.substr(blank + 1);
    return field;
}

std::string Trimmed(const std::string& field) {
    const auto first = field.find_first_not_of(kWhiteSpace);
    if (first == std::string::npos) {
        return {};
    }
    return field.substr(first, field.find_last_not_of(kWhiteSpace) - first + 1);
}

std::optional<std::uint32_t> HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return std::nullopt;
}

}  // namespace

bool NextHexField(std::string& text, std::int32_t& value) {
    std::uint32_t bits = 0;
    value = 0;
    for (char c : Trimmed(TakeField(text))) {
        const auto digit = HexDigit(c);
        if (!digit) {
            return false;
        }
        bits = (bits << 4) | *digit;
    }
    value = static_cast<std::int32_t>(bits);
    return true;
}

DiagFields DecodeDiagLine(std::string text) {
    DiagFields fields;
    NextHexField(text, fields.field1);
    NextHexField(text, fields.field2);
    NextHexField(text, fields.field3);
    return fields;
}

}  // namespace orvalt
