#pragma once
// The results database as history, yield and reports read it: opened to read
// only, so that looking back never creates a folder, a file or a table, and
// never changes a database that a station writes.

#include <memory>
#include <string>
#include <string_view>

#include "records/SqlConnection.h"

namespace orvalt {

inline constexpr std::string_view kNoRunRecorded = "No run has been recorded yet.";

// The database to read; an empty pointer when nothing was ever recorded there
// (no such file, or no schema yet).
Result<std::unique_ptr<SqlConnection>> OpenRecordsToRead(const std::string& target);

}  // namespace orvalt
