#pragma once
// The settings and data folders (XDG_CONFIG_HOME, XDG_DATA_HOME) of a test
// that runs the station in its own process: a folder of the test's, so that
// no user's settings or records are read or written, and the process's own
// again once the test is done.

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvalt::test {

class OwnXdgFolders {
  public:
    explicit OwnXdgFolders(const std::filesystem::path& folder);
    ~OwnXdgFolders();
    OwnXdgFolders(const OwnXdgFolders&) = delete;
    OwnXdgFolders& operator=(const OwnXdgFolders&) = delete;

  private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

}  // namespace orvalt::test
