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

// How many characters `text` holds, as a person counts them: each well-formed
// character one, and each byte that is not part of one one as well.
std::size_t Utf8CharacterCount(std::string_view text);

}  // namespace orvalt
