#pragma once
// What stands at a path, told without opening it, and the first bytes of a
// regular file read without waiting: a pipe put where a file belongs must not
// hold a reader up for ever, and a file replaced under a reader that keeps
// the old one open is told from it by its device and inode.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "base/Result.h"

namespace orvalt {

struct FileIdentity {
    enum class Kind { Missing, Regular, Folder, Pipe, Device, Other };
    Kind kind = Kind::Missing;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// What stands at `file`, a symbolic link followed; Missing when nothing does.
// A path that can't be looked at (no permission on its folder, a loop of
// links) is a failure: the reason, without the file.
Result<FileIdentity> IdentityOf(const std::filesystem::path& file);

// "a regular file", "a folder", "a pipe", "a device", "a socket or another
// special file", "nothing".
const char* KindWords(FileIdentity::Kind kind);

// At most `count` first bytes of `file`, opened only when it is a regular
// file and without waiting; a failure (the reason, without the file)
// otherwise.
Result<std::string> FirstBytesOf(const std::filesystem::path& file, std::size_t count);

}  // namespace orvalt
