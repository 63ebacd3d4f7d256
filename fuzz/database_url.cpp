// The results server URL reader: whatever the text, a valid URL's shown form
// is the text without its password parts, and masking leaves none of them.

#include <algorithm>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "domain/DatabaseUrl.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = orvalt::BytesOf(data, size);
    const orvalt::Result<orvalt::ServerUrl> url = orvalt::ParseServerUrl(text);
    [[maybe_unused]] const std::string shown = orvalt::ShownDatabase(text);
    if (!url) {
        return 0;
    }
    orvalt::Require(orvalt::LooksLikeUrl(text), "a valid URL looks like one");
    orvalt::Require(url->shown.size() <= text.size(), "the shown form only leaves parts out");
    std::string masked(text);
    orvalt::MaskPasswordsInPlace(masked);
    std::size_t secretBytes = 0;
    std::size_t previousEnd = 0;
    for (const auto& [first, end] : url->secrets) {
        orvalt::Require(previousEnd <= first && first <= end && end <= text.size(),
                        "the passwords lie apart, in order, inside the text");
        previousEnd = end;
        orvalt::Require(std::all_of(masked.begin() + static_cast<std::ptrdiff_t>(first),
                                    masked.begin() + static_cast<std::ptrdiff_t>(end),
                                    [](char c) { return c == '*'; }),
                        "every byte of a password is masked");
        secretBytes += end - first;
    }
    orvalt::Require(url->secrets.empty() || url->shown.size() < text.size(),
                    "a URL with a password shows less than it holds");
    orvalt::Require(url->shown.size() + secretBytes + url->secrets.size() + 1 >= text.size(),
                    "only the passwords are left out, with their separators");
    return 0;
}
