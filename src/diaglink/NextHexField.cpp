#include "diaglink/NextHexField.h"

#include "domain/HexDigit.h"

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

}  // namespace

bool NextHexField(std::string& text, std::int32_t& value) {
    std::uint32_t bits = 0;
    value = 0;
    for (char c : Trimmed(TakeField(text))) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return false;
        }
        bits = (bits << 4) | static_cast<std::uint32_t>(digit);
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
