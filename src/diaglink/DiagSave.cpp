#include "diaglink/DiagSave.h"

#include "platform/SafeFile.h"

namespace orvalt {

Result<void> SaveDiagRows(const std::filesystem::path& path, const std::deque<std::string>& rows) {
    std::string content;
    for (const auto& row : rows) {
        // A row is written as far as its first NUL byte, as the list shows it.
        content.append(std::string_view(row).substr(0, row.find('\0'))).append("\r\n");
    }
    // Replaced whole, so a full disk leaves the old file rather than half a new one.
    return ReplaceFileAtomically(path, content);
}

}  // namespace orvalt
