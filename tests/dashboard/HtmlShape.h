#pragma once
// The shape of an HTML text, for the tests that put hostile texts into a
// page: every tag with its attributes' names, in order, and no text. A text
// that stays text leaves the shape as it was.

#include <string>
#include <vector>

namespace orvalt::test {

// "<article class data-host>" per start tag, "</article>" per end tag.
std::vector<std::string> HtmlShape(const std::string& html);

// The value of the first `attribute` of the first element that has it after
// `from`, undone of its escapes; empty when there is none.
std::string AttributeValue(const std::string& html, const std::string& attribute,
                           std::size_t from = 0);

// The text inside the first element whose start tag holds `marker`
// (`class="serial"`), up to its end tag, undone of its escapes.
std::string TextOf(const std::string& html, const std::string& marker, std::size_t from = 0);

}  // namespace orvalt::test
