#pragma once
// Whether the dashboard's login may write to the records, asked of the
// database once at start: a page server has no business holding a login that
// can change what the stations recorded, so it is refused unless told
// otherwise.

#include <string>
#include <vector>

#include "base/Result.h"

namespace orvalt {

// What the login may write ("superuser", a table and the writes it may do
// there); empty when nothing, and for a SQLite file, which is opened to read.
Result<std::vector<std::string>> WritesOfLogin(const std::string& database);

// The refusal: what it may write, and what to do instead.
std::string WriterRefusal(const std::string& shownDatabase, const std::vector<std::string>& writes);

}  // namespace orvalt
