#include "diaglink/DiagSave.h"

#include <string_view>

#include "results/ResultFileWrite.h"

namespace orvalt {

// The whole text is made first and then takes the file's place, so a full disk
// or a cut-off write leaves the earlier file as it was, never half of the rows.
DiagSaveResult SaveDiagRows(const std::filesystem::path& path,
                            const std::deque<std::string>& rows) {
    std::string text;
    for (const auto& row : rows) {
        // A row is written as far as its first NUL byte, as the list shows it.
        text += std::string_view(row).substr(0, row.find('\0'));
        text += "\r\n";
    }
    const FileWriteResult written = ReplaceFileContents(path, text);
    return DiagSaveResult{written.ok, written.message};
}

}  // namespace orvalt
