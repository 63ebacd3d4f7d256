#pragma once
// A settings file a person wrote or edited keeps its own lines when the
// station writes its values into it: comments, spacing, the spelling of
// numbers, lines the reader skips, and every value that did not change stay
// byte for byte. A changed value is written anew in its place, a new one
// after its key's last line, a new key at the end of the file.

#include <string>
#include <string_view>

#include "config/RegDocument.h"

namespace orvalt {

// `document` as read from `original` (ParseRegText) and changed since. A
// text that was written by FormatRegText comes out as FormatRegText writes
// the changed document. An empty text, and a UTF-16 or UTF-8 one, are
// written as FormatRegText writes them.
std::string FormatRegTextOver(std::string_view original, const RegDocument& document);

}  // namespace orvalt
