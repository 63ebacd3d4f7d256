#pragma once
// The one kind of description text a result line can't give back exactly: one
// without a comma (so written as typed) whose first character after blanks is
// a double quote, which a reader takes for the start of a quoted field.

#include <string_view>

namespace orvalt {

inline bool ReadsBackAsWritten(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    const bool opensAQuote = first != std::string_view::npos && text[first] == '"';
    return !opensAQuote || text.find(',') != std::string_view::npos;
}

}  // namespace orvalt
