#include "platform/FileIdentity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/SafeFile.h"
#include "platform/UniqueFd.h"

namespace orvalt {

namespace {

FileIdentity::Kind KindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return FileIdentity::Kind::Regular;
    }
    if (S_ISDIR(mode)) {
        return FileIdentity::Kind::Folder;
    }
    if (S_ISFIFO(mode)) {
        return FileIdentity::Kind::Pipe;
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return FileIdentity::Kind::Device;
    }
    return FileIdentity::Kind::Other;
}

FileIdentity FromStat(const struct stat& info) {
    return FileIdentity{KindOf(info.st_mode), static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace

Result<FileIdentity> IdentityOf(const std::filesystem::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return FileIdentity{};
        }
        return Fail(std::string(std::strerror(errno)));
    }
    return FromStat(info);
}

const char* KindWords(FileIdentity::Kind kind) {
    switch (kind) {
        case FileIdentity::Kind::Missing:
            return "nothing";
        case FileIdentity::Kind::Regular:
            return "a regular file";
        case FileIdentity::Kind::Folder:
            return "a folder";
        case FileIdentity::Kind::Pipe:
            return "a pipe";
        case FileIdentity::Kind::Device:
            return "a device";
        case FileIdentity::Kind::Other:
            break;
    }
    return "a socket or another special file";
}

// Looked at before it is opened, so that no device is opened for its side
// effects; and again once open, in case another file took its place between.
Result<std::string> FirstBytesOf(const std::filesystem::path& file, std::size_t count) {
    const Result<FileIdentity> before = IdentityOf(file);
    if (!before) {
        return Fail(before.Error());
    }
    if (before->kind != FileIdentity::Kind::Regular) {
        return Fail(std::string(kNotRegularFile));
    }
    const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (!fd.Valid() || ::fstat(fd.Get(), &info) != 0) {
        return Fail(std::string(std::strerror(errno)));
    }
    if (!S_ISREG(info.st_mode)) {
        return Fail(std::string(kNotRegularFile));
    }
    std::string bytes(count, '\0');
    std::size_t got = 0;
    while (got < count) {
        const ssize_t read =
            ::pread(fd.Get(), bytes.data() + got, count - got, static_cast<off_t>(got));
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read < 0) {
            return Fail(std::string(std::strerror(errno)));
        }
        if (read == 0) {
            break;
        }
        got += static_cast<std::size_t>(read);
    }
    bytes.resize(got);
    return bytes;
}

}  // namespace orvalt
