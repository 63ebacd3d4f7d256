#pragma once
// SAV: the diagnostic rows written to a text file the operator chose.

#include <deque>
#include <filesystem>
#include <string>

namespace orvalt {

struct DiagSaveResult {
    bool ok = false;
    // On failure, what to tell the operator, naming the file.
    std::string error;
};

// Writes the rows oldest first, each followed by CR LF, as the new contents of
// the file at `path`. On failure the file keeps what it held before.
DiagSaveResult SaveDiagRows(const std::filesystem::path& path, const std::deque<std::string>& rows);

}  // namespace orvalt
