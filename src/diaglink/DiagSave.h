#pragma once
// SAV: the diagnostic rows written to a text file the operator chose.

#include <deque>
#include <filesystem>
#include <string>

#include "base/Result.h"

namespace orvalt {

// Writes the rows oldest first, each followed by CR LF, into the file at `path`,
// replacing an existing one whole. A failure names the file for the operator.
Result<void> SaveDiagRows(const std::filesystem::path& path, const std::deque<std::string>& rows);

}  // namespace orvalt
