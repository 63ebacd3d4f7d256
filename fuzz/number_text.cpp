// The locale-free number reader against the C library's own strtod_l in the
// "C" locale, on a terminated copy of the text (atof stops at a NUL byte).

#include <locale.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "config/NumberText.h"

namespace orvalt {
namespace {

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace
}  // namespace orvalt

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    const std::string_view text = orvalt::BytesOf(data, size);
    const std::string terminated(text.substr(0, text.find('\0')));
    char* end = nullptr;
    const double expected = strtod_l(terminated.c_str(), &end, cLocale);
    const bool found = end != terminated.c_str();
    orvalt::Require(orvalt::HasNumericPrefix(text) == found, "a numeric prefix is found as strtod");
    orvalt::Require(orvalt::SameBits(orvalt::AtofText(text), found ? expected : 0.0),
                    "the value is strtod's in the C locale, 0 without a number");
    return 0;
}
