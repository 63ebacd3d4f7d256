// The diagnostic line decoder over any line: every field is taken off in turn,
// read as the last eight hex digits of the field, and the three-field decode
// agrees with taking the fields one by one.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "diaglink/NextHexField.h"

namespace orvalt {
namespace {

constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";
constexpr std::string_view kHexDigits = "0123456789abcdefABCDEF";

struct ExpectedField {
    bool hex = true;
    std::int32_t value = 0;
    std::string rest;
};

// The field's value worked out apart from the decoder: a 32-bit register keeps
// only the last eight digits shifted in.
ExpectedField Expect(const std::string& text) {
    const std::size_t blank = text.find(' ');
    ExpectedField expected;
    expected.rest = blank == std::string::npos ? std::string() : text.substr(blank + 1);
    std::string_view field = std::string_view(text).substr(0, blank);
    const std::size_t first = field.find_first_not_of(kWhiteSpace);
    field = first == std::string_view::npos
                ? std::string_view()
                : field.substr(first, field.find_last_not_of(kWhiteSpace) - first + 1);
    expected.hex = field.find_first_not_of(kHexDigits) == std::string_view::npos;
    if (expected.hex && !field.empty()) {
        const std::string last8(field.substr(field.size() > 8 ? field.size() - 8 : 0));
        expected.value = static_cast<std::int32_t>(std::strtoul(last8.c_str(), nullptr, 16));
    }
    return expected;
}

// Takes up to three fields, checking each; their values as DecodeDiagLine gives them.
DiagFields CheckFields(std::string text) {
    std::int32_t values[3] = {0, 0, 0};
    for (int i = 0; i < 3 || !text.empty(); ++i) {
        const ExpectedField expected = Expect(text);
        std::int32_t value = 12345;
        Require(NextHexField(text, value) == expected.hex, "hex fields are told from others");
        Require(value == (expected.hex ? expected.value : 0), "the value is the last 8 digits");
        Require(text == expected.rest, "the text keeps what follows the first blank");
        if (i < 3) {
            values[i] = value;
        }
    }
    return DiagFields{values[0], values[1], values[2]};
}

}  // namespace
}  // namespace orvalt

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(orvalt::BytesOf(data, size));
    const orvalt::DiagFields expected = orvalt::CheckFields(line);
    const orvalt::DiagFields decoded = orvalt::DecodeDiagLine(line);
    orvalt::Require(decoded.field1 == expected.field1 && decoded.field2 == expected.field2 &&
                        decoded.field3 == expected.field3,
                    "the decode takes the first three fields");
    return 0;
}
