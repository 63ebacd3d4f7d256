#pragma once
// Pieces of the names the station gives its result files.

#include <string>
#include <string_view>

namespace orvalt {

// `text` fit to be part of a file name: each of <>:/\|?* becomes '_', so the
// name stays one name inside its folder on Linux and on Windows alike.
std::string SafeFileNamePart(std::string_view text);

// `text` put before the extension of `name`, which starts at the last point
// (".csv" is an extension with an empty base); appended when there is none.
std::string InsertBeforeExtension(std::string_view name, std::string_view text);

}  // namespace orvalt
