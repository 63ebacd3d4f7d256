#include "support/OtherUsers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace orvalt::test {

FileState StateOf(const std::filesystem::path& file) {
    struct stat info {};
    ::lstat(file.c_str(), &info);
    return {ReadBytes(file), info.st_uid, info.st_gid, info.st_mode & 07777};
}

std::ostream& operator<<(std::ostream& out, const FileState& state) {
    return out << state.owner << ":" << state.group << " " << std::oct << state.mode << std::dec
               << " " << state.bytes.size() << " bytes";
}

void Own(const std::filesystem::path& path, uid_t owner, gid_t group, mode_t mode) {
    ASSERT_EQ(::chown(path.c_str(), owner, group), 0) << path << ": " << std::strerror(errno);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path << ": " << std::strerror(errno);
}

void MakeFile(const std::filesystem::path& file, std::string_view bytes, uid_t owner, gid_t group,
              mode_t mode) {
    WriteBytes(file, bytes);
    Own(file, owner, group, mode);
}

void PlantLink(const std::filesystem::path& link, const std::filesystem::path& target, uid_t user) {
    const std::string made = RunInChild([&] {
        if (user != 0) {
            BecomeUser(user, kNogroup);
        }
        return ::symlink(target.c_str(), link.c_str()) == 0 ? std::string()
                                                            : std::string(std::strerror(errno));
    });
    ASSERT_EQ(made, "") << link;
}

}  // namespace orvalt::test
