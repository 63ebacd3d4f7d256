#include "platform/DataPaths.h"

#include <cstdlib>

#include "platform/UserAccount.h"

namespace orvalt {

std::filesystem::path StationDataFolderFrom(const char* xdgDataHome, const char* home) {
    const auto usable = [](const char* folder) { return folder != nullptr && folder[0] == '/'; };
    if (usable(xdgDataHome))
        return std::filesystem::path(xdgDataHome) / "Kestrune" / "Orvalt";
    if (usable(home))
        return std::filesystem::path(home) / ".local" / "share" / "Kestrune" / "Orvalt";
    return {};
}

std::filesystem::path StationDataFolder() {
    auto folder = StationDataFolderFrom(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    if (folder.empty()) {
        const auto account = ProcessUserAccount();
        if (account)
            folder = StationDataFolderFrom(nullptr, account->home.c_str());
    }
    return folder;
}

}  // namespace orvalt
