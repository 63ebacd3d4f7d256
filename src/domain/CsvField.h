#pragma once
// Texts as comma-separated fields: the station's result lines and the read
// side's CSV tables quote them here.

#include <string>
#include <string_view>
#include <vector>

namespace orvalt {

// `text` as one comma-separated field: a text holding a comma is wrapped in
// double quotes with each inner quote doubled, so that it can't split into
// extra fields; any other text, quotes and all (a size of 4"), stays exactly
// as the operator typed it.
std::string QuoteCsvField(std::string_view text);

// `text` as one field that any reader of comma-separated text gives back
// exactly, when it skips the blanks after each comma as the station's lines
// call for: quoted, each inner quote doubled, when it holds a comma, a double
// quote or a line break, or starts with a blank; any other text as it is.
std::string QuoteCsvFieldStrictly(std::string_view text);

// One record of `fields`, each quoted as QuoteCsvFieldStrictly quotes it,
// with commas between them and a CRLF after, as RFC 4180 writes a record.
std::string CsvRecord(const std::vector<std::string>& fields);

// Takes the next field off `rest`, leaving in `rest` what follows the comma
// that ends it (nothing when no comma does). A field whose first character
// after blanks is a double quote is quoted: it runs to the quote that closes
// it (a doubled quote stays inside) and on to the next comma. Any other field,
// or a quoted one that is never closed, runs to the next comma. The field keeps
// its quotes and blanks.
std::string_view TakeCsvField(std::string_view& rest);

}  // namespace orvalt
