#pragma once
// SHA-256 of a text, so a run record names exactly which plan it ran.

#include <string>
#include <string_view>

namespace orvalt {

// The digest as 64 lower-case hex digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace orvalt
