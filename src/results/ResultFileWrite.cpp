#include "results/ResultFileWrite.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>

#include "platform/UniqueFd.h"

namespace orvalt {

namespace {

constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as any new file
constexpr int kTempNameAttempts = 100;
constexpr std::chrono::milliseconds kLockRetryPause{20};

FileWriteResult Failure(const std::filesystem::path& file, const std::string& reason) {
    return FileWriteResult{false, "Can't write " + file.string() + ": " + reason};
}

FileWriteResult Failure(const std::filesystem::path& file, int error) {
    return Failure(file, std::strerror(error));
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

std::optional<int> Sync(int fd) {
    return ::fsync(fd) == 0 ? std::nullopt : std::optional<int>(errno);
}

// Writes, syncs and closes: the first errno on the way, if any.
std::optional<int> WriteSyncClose(UniqueFd& file, std::string_view bytes) {
    std::optional<int> error = WriteAll(file.Get(), bytes);
    if (!error) {
        error = Sync(file.Get());
    }
    const std::optional<int> closeError = file.Close();
    return error ? error : closeError;
}

// A link is followed, so that the file it names gets the new contents.
std::filesystem::path WriteTarget(const std::filesystem::path& file) {
    std::error_code error;
    if (std::filesystem::is_symlink(file, error)) {
        const std::filesystem::path target = std::filesystem::weakly_canonical(file, error);
        if (!error) {
            return target;
        }
    }
    return file;
}

std::filesystem::path TempName(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path name = target;
    name.replace_filename("." + target.filename().string() + ".tmp" + std::to_string(::getpid()) +
                          "-" + std::to_string(++counter));
    return name;
}

// Creates a new, unused file beside `target`; its name in `temp`.
int CreateTempBeside(const std::filesystem::path& target, std::filesystem::path& temp) {
    int fd = -1;
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        temp = TempName(target);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        if (fd >= 0 || errno != EEXIST) {
            break;
        }
    }
    return fd;
}

// The rename is on disk only once the folder is; a folder that can't be
// synced (some file systems refuse) still holds the renamed file.
void SyncFolder(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.IsOpen()) {
        ::fsync(dir.Get());
    }
}

FileWriteResult RewriteInPlace(const std::filesystem::path& file,
                               const std::filesystem::path& target, std::string_view bytes) {
    UniqueFd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kNewFileMode));
    if (!out.IsOpen()) {
        return Failure(file, errno);
    }
    if (const auto error = WriteSyncClose(out, bytes)) {
        return Failure(file, *error);
    }
    return {};
}

FileWriteResult MoveIntoPlace(const std::filesystem::path& file, const std::filesystem::path& temp,
                              const std::filesystem::path& target) {
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return Failure(file, error);
    }
    SyncFolder(target);
    return {};
}

// The new contents keep the permissions the old file had.
void KeepPermissions(const std::filesystem::path& target, int fd) {
    struct stat status {};
    if (::stat(target.c_str(), &status) == 0) {
        ::fchmod(fd, status.st_mode & 07777);
    }
}

// A file its owner made read-only stays as it is, although the folder would
// let a new file take its place.
std::optional<int> RefusesWriting(const std::filesystem::path& target) {
    if (::faccessat(AT_FDCWD, target.c_str(), F_OK, AT_EACCESS) == 0 &&
        ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        return errno;
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
    if (!error) {
        error = Sync(fd);
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

FileWriteResult ReplaceFileContents(const std::filesystem::path& file, std::string_view bytes) {
    const std::filesystem::path target = WriteTarget(file);
    if (const auto error = RefusesWriting(target)) {
        return Failure(file, *error);
    }
    std::filesystem::path temp;
    UniqueFd out(CreateTempBeside(target, temp));
    if (!out.IsOpen()) {
        const int error = errno;
        if (error == EACCES || error == EPERM) {
            return RewriteInPlace(file, target, bytes);
        }
        return Failure(file, error);
    }
    KeepPermissions(target, out.Get());
    if (const auto error = WriteSyncClose(out, bytes)) {
        ::unlink(temp.c_str());
        return Failure(file, *error);
    }
    return MoveIntoPlace(file, temp, target);
}

FileWriteResult AppendToSharedFile(const std::filesystem::path& file, std::string_view bytes,
                                   std::chrono::milliseconds lockWait) {
    UniqueFd out(::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kNewFileMode));
    if (!out.IsOpen()) {
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
