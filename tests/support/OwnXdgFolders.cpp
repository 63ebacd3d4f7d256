#include "support/OwnXdgFolders.h"

#include <cstdlib>

namespace orvalt::test {

OwnXdgFolders::OwnXdgFolders(const std::filesystem::path& folder) {
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
        const char* was = std::getenv(name);
        saved_.push_back({name, was ? std::optional<std::string>(was) : std::nullopt});
        ::setenv(name, folder.c_str(), 1);
    }
}

OwnXdgFolders::~OwnXdgFolders() {
    for (const auto& [name, was] : saved_) {
        was ? ::setenv(name, was->c_str(), 1) : ::unsetenv(name);
    }
}

}  // namespace orvalt::test
