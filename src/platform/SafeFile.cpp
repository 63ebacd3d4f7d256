#include "platform/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/Format.h"

namespace orvalt {

namespace {

// Owns one file descriptor.
class UniqueFd {
  public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Close(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    // Some file systems report a failed write only at close, so its result counts.
    int Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd >= 0 ? ::close(fd) : 0;
    }

  private:
    int fd_;
};

// Removes a temporary file on every way out except success.
class TempFileGuard {
  public:
    explicit TempFileGuard(std::string name) : name_(std::move(name)) {}
    ~TempFileGuard() {
        if (!name_.empty()) {
            ::unlink(name_.c_str());
        }
    }
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;
    void Release() { name_.clear(); }

  private:
    std::string name_;
};

std::string ErrorText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

FileReadResult ReadFailure(const std::filesystem::path& file, const std::string& reason) {
    return {FileReadResult::State::Failed,
            {},
            Format("Could not read %s: %s", file.c_str(), reason.c_str())};
}

FileWriteResult WriteFailure(const std::filesystem::path& file, const char* step,
                             const std::string& reason) {
    return {false, Format("Could not write %s: %s: %s", file.c_str(), step, reason.c_str())};
}

// Reads to the end; returns 0 or the errno that stopped it (EFBIG past the limit).
int ReadAll(int fd, std::size_t limit, std::string& out) {
    char buffer[1 << 16];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return count == 0 ? 0 : errno;
        }
        out.append(buffer, static_cast<std::size_t>(count));
        if (out.size() > limit) {
            return EFBIG;
        }
    }
}

int WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t count = ::write(fd, content.data(), content.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return count == 0 ? EIO : errno;
        }
        content.remove_prefix(static_cast<std::size_t>(count));
    }
    return 0;
}

// A managed dotfile is often a symbolic link; replacing the link by a plain
// file would quietly cut it off from what it points to.
std::filesystem::path ResolveTarget(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_symlink(file, error)) {
        return file;
    }
    std::filesystem::path resolved = std::filesystem::weakly_canonical(file, error);
    return error ? file : resolved;
}

std::filesystem::path FolderOf(const std::filesystem::path& file) {
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

// The new file keeps the permissions an administrator gave the old one.
void KeepMode(int fd, const std::filesystem::path& target) {
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0) {
        // The temporary file's private mode (0600) is a safe fallback.
    }
}

// Makes the rename itself durable. Some file systems cannot sync a folder (EINVAL).
int SyncFolder(const std::filesystem::path& folder) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid()) {
        return errno;
    }
    return ::fsync(fd.Get()) == 0 || errno == EINVAL ? 0 : errno;
}

}  // namespace

FileReadResult ReadRegularFile(const std::filesystem::path& file, std::size_t maxBytes) {
    if (file.empty()) {
        return {};
    }
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.Valid()) {
        return errno == ENOENT || errno == ENOTDIR ? FileReadResult{}
                                                   : ReadFailure(file, ErrorText(errno));
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) {
        return ReadFailure(file, ErrorText(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return ReadFailure(file, "it is not a regular file");
    }
    const std::string tooLarge = Format("it is larger than %zu bytes", maxBytes);
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        return ReadFailure(file, tooLarge);
    }
    FileReadResult result{FileReadResult::State::Read, {}, {}};
    result.bytes.reserve(static_cast<std::size_t>(info.st_size));
    const int error = ReadAll(fd.Get(), maxBytes, result.bytes);
    if (error != 0) {
        return ReadFailure(file, error == EFBIG ? tooLarge : ErrorText(error));
    }
    return result;
}

FileWriteResult ReplaceFileAtomically(const std::filesystem::path& file, std::string_view content) {
    const std::filesystem::path target = ResolveTarget(file);
    const std::filesystem::path folder = FolderOf(target);
    std::error_code folderError;
    std::filesystem::create_directories(folder, folderError);
    if (folderError) {
        return WriteFailure(file, "cannot create its folder", folderError.message());
    }
    std::string tempName = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    UniqueFd fd(::mkostemp(tempName.data(), O_CLOEXEC));
    if (!fd.Valid()) {
        return WriteFailure(file, "cannot create a temporary file in its folder", ErrorText(errno));
    }
    TempFileGuard guard(tempName);
    KeepMode(fd.Get(), target);
    if (const int error = WriteAll(fd.Get(), content); error != 0) {
        return WriteFailure(file, "cannot write the new content", ErrorText(error));
    }
    if (::fsync(fd.Get()) != 0 || fd.Close() != 0) {
        return WriteFailure(file, "cannot flush the new content to disk", ErrorText(errno));
    }
    if (::rename(tempName.c_str(), target.c_str()) != 0) {
        return WriteFailure(file, "cannot replace the old file", ErrorText(errno));
    }
    guard.Release();
    if (const int error = SyncFolder(folder); error != 0) {
        return WriteFailure(file, "replaced, but its folder could not be flushed to disk",
                            ErrorText(error));
    }
    return {};
}

}  // namespace orvalt
