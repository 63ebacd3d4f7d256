#pragma once
// Text safe inside an XML 1.0 element or attribute: the five special
// characters as entities, line breaks and tabs as character references, and
// what XML 1.0 can't hold at all (other control characters, bytes that are not
// UTF-8) as U+FFFD.

#include <string>

namespace orvalt {

std::string XmlEscaped(const std::string& text);

}  // namespace orvalt
