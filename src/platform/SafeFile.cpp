#include "platform/SafeFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>

#include "platform/UniqueFd.h"

namespace orvalt {

namespace {

constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as any new file
constexpr std::chrono::milliseconds kLockRetryPause{20};

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

FileReadResult ReadFailure(const std::filesystem::path& file, const std::string& reason) {
    return {FileReadResult::State::Failed, {}, "Can't read " + file.string() + ": " + reason};
}

FileWriteResult Failure(const std::filesystem::path& file, const std::string& reason) {
    return {false, "Can't write " + file.string() + ": " + reason};
}

FileWriteResult Failure(const std::filesystem::path& file, int error) {
    return Failure(file, std::strerror(error));
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

// Writes every byte, going on after short writes; the errno of a failure.
std::optional<int> WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return count < 0 ? errno : EIO;
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return std::nullopt;
}

// Writes, syncs and closes: the first errno on the way, if any. Some file
// systems report a failed write only at close, so its result counts.
std::optional<int> WriteSyncClose(UniqueFd& file, std::string_view bytes) {
    std::optional<int> error = WriteAll(file.Get(), bytes);
    if (!error && ::fsync(file.Get()) != 0) {
        error = errno;
    }
    const std::optional<int> closeError = file.Close();
    return error ? error : closeError;
}

// A managed file is often a symbolic link; replacing the link by a plain file
// would quietly cut it off from what it points to.
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

// The new file keeps the permissions an administrator gave the old one; the
// temporary file's private mode (0600) is the fallback.
void KeepMode(int fd, const std::filesystem::path& target) {
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    }
}

// Makes the rename itself durable. Some file systems cannot sync a folder
// (EINVAL); the renamed file is there all the same.
int SyncFolder(const std::filesystem::path& folder) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid()) {
        return errno;
    }
    return ::fsync(fd.Get()) == 0 || errno == EINVAL ? 0 : errno;
}

std::optional<int> RefusesWriting(const std::filesystem::path& target) {
    if (::faccessat(AT_FDCWD, target.c_str(), F_OK, AT_EACCESS) == 0 &&
        ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        return errno;
    }
    return std::nullopt;
}

FileWriteResult RewriteInPlace(const std::filesystem::path& file,
                               const std::filesystem::path& target, std::string_view bytes) {
    UniqueFd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kNewFileMode));
    if (!out.Valid()) {
        return Failure(file, errno);
    }
    if (const auto error = WriteSyncClose(out, bytes)) {
        return Failure(file, *error);
    }
    return {};
}

std::optional<FileWriteResult> CheckBeforeReplacing(const std::filesystem::path& file,
                                                    const std::filesystem::path& target,
                                                    const ReplaceOptions& options) {
    if (options.createFolder) {
        std::error_code error;
        std::filesystem::create_directories(FolderOf(target), error);
        if (error) {
            return Failure(file, "cannot create its folder: " + error.message());
        }
    }
    if (options.keepReadOnlyFile) {
        if (const auto error = RefusesWriting(target)) {
            return Failure(file, *error);
        }
    }
    return std::nullopt;
}

bool LockedByOther(int error) {
    return error == EWOULDBLOCK || error == EAGAIN;
}

// Takes the exclusive lock, waiting up to `lockWait` for another holder.
FileWriteResult LockExclusive(const std::filesystem::path& file, int fd,
                              std::chrono::milliseconds lockWait) {
    const auto deadline = std::chrono::steady_clock::now() + lockWait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        if (!LockedByOther(errno)) {
            return Failure(file, errno);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return Failure(file, "another program keeps it locked");
        }
        std::this_thread::sleep_for(kLockRetryPause);
    }
    return {};
}

// Appends under the lock; a failure cuts the file back to the length it had.
FileWriteResult AppendLocked(const std::filesystem::path& file, int fd, std::string_view bytes) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return Failure(file, errno);
    }
    std::optional<int> error = WriteAll(fd, bytes);
    if (!error && ::fsync(fd) != 0) {
        error = errno;
    }
    if (error && ::ftruncate(fd, status.st_size) != 0) {
        return Failure(file, std::string(std::strerror(*error)) + "; part of the lines may remain");
    }
    if (error) {
        return Failure(file, *error);
    }
    return {};
}

}  // namespace

FileReadResult ReadRegularFile(const std::filesystem::path& file, std::size_t maxBytes) {
    if (file.empty()) {
        return {};
    }
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.Valid()) {
        return errno == ENOENT || errno == ENOTDIR ? FileReadResult{}
                                                   : ReadFailure(file, std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) {
        return ReadFailure(file, std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return ReadFailure(file, "it is not a regular file");
    }
    const std::string tooLarge = "it is larger than " + std::to_string(maxBytes) + " bytes";
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        return ReadFailure(file, tooLarge);
    }
    FileReadResult result{FileReadResult::State::Read, {}, {}};
    result.bytes.reserve(static_cast<std::size_t>(info.st_size));
    const int error = ReadAll(fd.Get(), maxBytes, result.bytes);
    if (error != 0) {
        return ReadFailure(file, error == EFBIG ? tooLarge : std::strerror(error));
    }
    return result;
}

FileWriteResult ReplaceFileAtomically(const std::filesystem::path& file, std::string_view content,
                                      const ReplaceOptions& options) {
    const std::filesystem::path target = ResolveTarget(file);
    if (auto refused = CheckBeforeReplacing(file, target, options)) {
        return *refused;
    }
    const std::filesystem::path folder = FolderOf(target);
    std::string tempName = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    UniqueFd fd(::mkostemp(tempName.data(), O_CLOEXEC));
    if (!fd.Valid()) {
        const int error = errno;
        if (options.rewriteInPlaceWhenFolderRefuses && (error == EACCES || error == EPERM)) {
            return RewriteInPlace(file, target, content);
        }
        return Failure(file, "cannot create a temporary file in its folder: " +
                                 std::string(std::strerror(error)));
    }
    TempFileGuard guard(tempName);
    KeepMode(fd.Get(), target);
    if (const auto error = WriteSyncClose(fd, content)) {
        return Failure(file, *error);
    }
    if (::rename(tempName.c_str(), target.c_str()) != 0) {
        return Failure(file, errno);
    }
    guard.Release();
    if (const int error = SyncFolder(folder); error != 0) {
        return Failure(file, "replaced, but its folder could not be flushed to disk: " +
                                 std::string(std::strerror(error)));
    }
    return {};
}

FileWriteResult AppendToSharedFile(const std::filesystem::path& file, std::string_view bytes,
                                   std::chrono::milliseconds lockWait) {
    UniqueFd out(::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kNewFileMode));
    if (!out.Valid()) {
        return Failure(file, errno);
    }
    if (!bytes.empty()) {
        if (auto locked = LockExclusive(file, out.Get(), lockWait); !locked.ok) {
            return locked;
        }
        if (auto appended = AppendLocked(file, out.Get(), bytes); !appended.ok) {
            return appended;
        }
    }
    if (const auto error = out.Close()) {
        return Failure(file, *error);
    }
    return {};
}

}  // namespace orvalt
