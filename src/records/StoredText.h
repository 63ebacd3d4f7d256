#pragma once
// How a text is kept in a results database. A record's texts come from files,
// the command line and a serial port, in no promised encoding, while a
// PostgreSQL server takes only UTF-8 without NUL. So every text goes in as
// valid UTF-8, alike in SQLite and PostgreSQL: its valid UTF-8 passes
// unchanged, and each byte that is not (or is NUL) becomes "\xHH", two
// upper-case hex digits. A backslash that would read as such an escape is
// itself kept as "\x5C". Reading a text back undoes it byte for byte.

#include <string>
#include <string_view>

namespace orvalt {

std::string StoredText(std::string_view bytes);
std::string TextFromStored(std::string_view stored);

}  // namespace orvalt
