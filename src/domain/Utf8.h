#pragma once
// Where UTF-8 is well formed: the one check behind the texts the records store
// as they are and the texts the station prints as they are.

#include <cstddef>
#include <string_view>

namespace orvalt {

// The length of the well-formed UTF-8 character at `at` (no overlong form, no
// surrogate, nothing past U+10FFFF; any ASCII byte, NUL included, is one), or 0
// when the bytes there are not one.
std::size_t Utf8CharLength(std::string_view text, std::size_t at);

}  // namespace orvalt
