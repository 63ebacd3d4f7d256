#include "diaglink/DiagSave.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/Format.h"

namespace orvalt {

namespace {

DiagSaveResult Failed(const char* what, const std::filesystem::path& path, int error) {
    return DiagSaveResult{
        false, Format("Can't %s %s: %s", what, path.string().c_str(), std::strerror(error))};
}

}  // namespace

DiagSaveResult SaveDiagRows(const std::filesystem::path& path,
                            const std::deque<std::string>& rows) {
    errno = 0;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        return Failed("create", path, errno != 0 ? errno : EIO);
    }
    for (const auto& row : rows) {
        // A row is written as far as its first NUL byte, as the list shows it.
        file << std::string_view(row).substr(0, row.find('\0')) << "\r\n";
    }
    file.close();
    if (!file) {
        return Failed("write", path, errno != 0 ? errno : EIO);
    }
    return DiagSaveResult{true, {}};
}

}  // namespace orvalt
