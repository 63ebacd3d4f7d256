#pragma once
// Text safe inside HTML and SVG elements and attributes.

#include <string>

namespace orvalt {

std::string HtmlEscaped(const std::string& text);

}  // namespace orvalt
