#pragma once
// Real files in a private temporary folder for the settings tests.

#include <filesystem>
#include <set>
#include <string>
#include <string_view>

#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace orvalt::testing {

using test::FileSizeLimit;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

inline std::set<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// A .reg file holding `body` under the station's own key.
inline std::string LocationFile(std::string_view body) {
    return "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Location]\r\n" +
           std::string(body);
}

}  // namespace orvalt::testing
