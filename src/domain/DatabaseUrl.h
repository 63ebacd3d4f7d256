#pragma once
// The results database as the operator names it: a postgresql:// (or
// postgres://) URL for a server, anything else a SQLite file's path. A text
// that looks like a URL but is not a valid one is refused, so that a typo never
// records into a local file; a password never leaves this reader but as
// libpq's keyword. More: docs/design/database-url.md.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Result.h"

namespace orvalt {

struct ServerUrl {
    // libpq's connection keywords with their decoded values, in the URL's order
    // (a later one wins, as in libpq); the password among them.
    std::vector<std::pair<std::string, std::string>> keywords;
    // The URL as written, without its password, fit for any message.
    std::string shown;
    // "postgresql://USER@HOST:PORT/DATABASE" as the URL gives them: what makes
    // two URLs the same server and login, whatever their password.
    std::string identity;
    // Where in the written URL the passwords lie ([first, end) each, in order):
    // the one after "user:", each "password=..." of the query.
    std::vector<std::pair<std::size_t, std::size_t>> secrets;
};

// True for a text that reads as a URL rather than a file: a scheme followed by
// '/' ("PostgreSQL://", "postgresql:/host", "http://"), or a spelling of
// postgres[ql] followed by ':' or "//".
bool LooksLikeUrl(std::string_view text);

// The server URL, or why the text is not a valid one. The reason never holds
// any of the text after its scheme.
Result<ServerUrl> ParseServerUrl(std::string_view text);

// The database in words for a message: a valid URL without its password, a
// text that only looks like a URL by its scheme alone, a file as it is.
std::string ShownDatabase(std::string_view text);

// True when the text is a server URL that holds a password.
bool HoldsPassword(std::string_view text);

// Overwrites with '*' every password of a server URL found in `text` (a
// program argument, "--db=URL" too), in place, so that the process list does
// not show it.
void MaskPasswordsInPlace(std::span<char> text);

// The same for each of a program's arguments, once they have been copied:
// the process list shows the arguments as they are in memory.
void MaskPasswordsInArguments(int argc, char** argv);

}  // namespace orvalt
