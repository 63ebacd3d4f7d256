#pragma once
// The users of a PC an output test plays, as root: `nobody`, who plants links
// and files where anyone may write, and an operator without root (a uid no
// account has); and a file as another user can tell it was touched.

#include <sys/types.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>

namespace orvalt::test {

inline constexpr uid_t kNobody = 65534;
inline constexpr gid_t kNogroup = 65534;
inline constexpr uid_t kOperator = 64999;
inline constexpr gid_t kOperatorGroup = 64999;
inline constexpr gid_t kDaemonGroup = 1;

struct FileState {
    std::string bytes;
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
    bool operator==(const FileState&) const = default;
};
FileState StateOf(const std::filesystem::path& file);  // not following a link
std::ostream& operator<<(std::ostream& out, const FileState& state);

// chown and chmod, failing the test when they fail.
void Own(const std::filesystem::path& path, uid_t owner, gid_t group, mode_t mode);
void MakeFile(const std::filesystem::path& file, std::string_view bytes, uid_t owner, gid_t group,
              mode_t mode);
// `user` makes the link, from a child process, as another account would.
void PlantLink(const std::filesystem::path& link, const std::filesystem::path& target, uid_t user);

}  // namespace orvalt::test
