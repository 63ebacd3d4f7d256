#pragma once
// Description texts inside the station's comma-separated result lines.

#include <string>
#include <string_view>

namespace orvalt {

// `text` as one comma-separated field: when it holds a comma or a double quote
// it is wrapped in double quotes with each inner quote doubled, so that it can't
// split into extra fields; any other text stays exactly as it is.
std::string QuoteCsvField(std::string_view text);

// Takes the next field off `rest`: the text up to the first comma that is not
// inside double quotes (all of `rest` when there is none), leaving in `rest`
// what follows that comma. The field keeps its quotes and blanks.
std::string_view TakeCsvField(std::string_view& rest);

}  // namespace orvalt
