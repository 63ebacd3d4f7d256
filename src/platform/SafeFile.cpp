#include "platform/SafeFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>

#include "platform/OutputTarget.h"
#include "platform/PendingFile.h"
#include "platform/UniqueFd.h"

namespace orvalt {

namespace {

constexpr std::chrono::milliseconds kLockRetryPause{20};

Failure<FileReadError> ReadFailure(const std::filesystem::path& file, const std::string& reason) {
    return Fail(FileReadError{false, reason, "Can't read " + file.string() + ": " + reason});
}

Failure<FileReadError> Missing(int error) {
    return Fail(FileReadError{true, std::strerror(error), {}});
}

Result<void> WriteFailure(const std::filesystem::path& file, const std::string& reason) {
    return OutputFailure(file, reason);
}

Result<void> WriteFailure(const std::filesystem::path& file, int error) {
    return WriteFailure(file, std::strerror(error));
}

// Reads to the end; returns 0 or the errno that stopped it (EFBIG past the
// limit, ECANCELED on a stop request).
int ReadAll(int fd, std::size_t limit, std::string& out, const std::atomic<bool>* stop) {
    char buffer[1 << 16];
    for (;;) {
        if (stop && *stop) {
            return ECANCELED;
        }
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

// Writes every byte and makes it reach the disk; the first errno on the way.
std::optional<int> WriteAndSync(int fd, std::string_view bytes) {
    if (const auto error = WriteAll(fd, bytes)) {
        return error;
    }
    return ::fsync(fd) == 0 ? std::nullopt : std::optional<int>(errno);
}

// Writes, syncs and closes: the first errno on the way, if any. Some file
// systems report a failed write only at close, so its result counts.
std::optional<int> WriteSyncClose(UniqueFd& file, std::string_view bytes) {
    const std::optional<int> error = WriteAndSync(file.Get(), bytes);
    const std::optional<int> closeError = file.Close();
    return error ? error : closeError;
}

// A replaced file keeps its owner, group and mode; a new file keeps what the
// umask left of 0666. A file that holds a secret loses whatever its group and
// others could do. False when this user may not give the file its owner or
// group (another user's file), so that it is rewritten in place instead.
bool GiveOwnerAndMode(int fd, const OutputTarget& target, bool ownerOnly) {
    struct stat now {};
    if (::fstat(fd, &now) != 0) {
        return false;
    }
    mode_t mode = now.st_mode & 07777;
    if (target.exists) {
        if ((now.st_uid != target.owner || now.st_gid != target.group) &&
            ::fchown(fd, target.owner, target.group) != 0) {
            return false;
        }
        mode = target.mode;
    }
    ::fchmod(fd, ownerOnly ? mode & 07700 : mode);
    return true;
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

// Something other than a regular file was opened (a device, a pipe, a folder
// put in the file's place since it was looked at): writing would block.
bool IsSpecialFile(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && !S_ISREG(info.st_mode);
}

// Opens without waiting for a pipe's reader; ENXIO is such a pipe.
// A link put in the file's place since it was looked at is not followed.
UniqueFd OpenForWriting(const std::filesystem::path& target, int flags) {
    return UniqueFd(::open(target.c_str(),
                           flags | O_WRONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC,
                           kNewFileMode));
}

Result<void> OpenFailure(const std::filesystem::path& file, int error) {
    return error == ENXIO ? WriteFailure(file, kNotRegularFile) : WriteFailure(file, error);
}

// Not crash-proof, but the file keeps its owner, group, mode and links. A
// secret is written only once nobody else may read the file.
Result<void> RewriteInPlace(const std::filesystem::path& file, const std::filesystem::path& target,
                            std::string_view bytes, bool ownerOnly) {
    UniqueFd out = OpenForWriting(target, 0);
    if (!out.Valid()) {
        return OpenFailure(file, errno);
    }
    struct stat info {};
    if (::fstat(out.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return WriteFailure(file, kNotRegularFile);
    }
    if (ownerOnly && ::fchmod(out.Get(), info.st_mode & 07700) != 0) {
        return WriteFailure(file, errno);
    }
    if (::ftruncate(out.Get(), 0) != 0) {
        return WriteFailure(file, errno);
    }
    if (const auto error = WriteSyncClose(out, bytes)) {
        return WriteFailure(file, *error);
    }
    return {};
}

// What can be known before writing: the file may be written, and its folder
// is there (made where asked for).
Result<OutputTarget> PrepareReplacing(const std::filesystem::path& file,
                                      const ReplaceOptions& options) {
    Result<OutputTarget> target = FindOutputTarget(file);
    if (!target) {
        return target;
    }
    if (options.createFolder) {
        std::error_code error;
        std::filesystem::create_directories(target->path.parent_path(), error);
        if (error) {
            return OutputFailure(file, "cannot create its folder: " + error.message());
        }
    }
    if (auto writable = OutputMayBeWritten(file, *target); !writable) {
        return Fail(writable.Error());
    }
    return target;
}

// A crash could still undo a rename whose folder did not reach the disk, so the
// save has failed: the old file goes back, where the file system allows it.
Result<void> FolderNotFlushed(const std::filesystem::path& file, PendingFile& pending, int error) {
    const std::string reason =
        std::string("its folder could not be flushed to disk: ") + std::strerror(error);
    return WriteFailure(file, pending.PutBack() ? reason : "replaced, but " + reason);
}

bool LockedByOther(int error) {
    return error == EWOULDBLOCK || error == EAGAIN;
}

// Appends under the lock; a failure cuts the file back to the length it had.
Result<void> AppendLocked(const std::filesystem::path& file, int fd, std::string_view bytes) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return WriteFailure(file, errno);
    }
    const std::optional<int> error = WriteAndSync(fd, bytes);
    if (error && ::ftruncate(fd, status.st_size) != 0) {
        return WriteFailure(file,
                            std::string(std::strerror(*error)) + "; part of the lines may remain");
    }
    if (error) {
        return WriteFailure(file, *error);
    }
    return {};
}

}  // namespace

// Takes the exclusive lock, waiting up to `lockWait` for another holder, or
// until a stop is requested.
Result<void> LockExclusive(const std::filesystem::path& file, int fd,
                           std::chrono::milliseconds lockWait, const std::atomic<bool>* stop) {
    const auto deadline = std::chrono::steady_clock::now() + lockWait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        if (!LockedByOther(errno)) {
            return WriteFailure(file, errno);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return WriteFailure(file, "another program keeps it locked");
        }
        if (stop && *stop) {
            return WriteFailure(file, "stopped while another program kept it locked");
        }
        std::this_thread::sleep_for(kLockRetryPause);
    }
    return {};
}

Result<std::string, FileReadError> ReadRegularFile(const std::filesystem::path& file,
                                                   std::size_t maxBytes,
                                                   const std::atomic<bool>* stop) {
    if (file.empty()) {
        return Missing(ENOENT);
    }
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.Valid()) {
        const int error = errno;
        return error == ENOENT || error == ENOTDIR ? Missing(error)
                                                   : ReadFailure(file, std::strerror(error));
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) {
        return ReadFailure(file, std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return ReadFailure(file, kNotRegularFile);
    }
    const std::string tooLarge = "it is larger than " + std::to_string(maxBytes) + " bytes";
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        return ReadFailure(file, tooLarge);
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    const int error = ReadAll(fd.Get(), maxBytes, bytes, stop);
    if (error == ECANCELED) {
        return ReadFailure(file, "reading it was stopped");
    }
    if (error != 0) {
        return ReadFailure(file, error == EFBIG ? tooLarge : std::strerror(error));
    }
    return bytes;
}

Result<void> CheckOutputFile(const std::filesystem::path& file) {
    const Result<OutputTarget> target = FindOutputTarget(file);
    if (!target) {
        return Fail(target.Error());
    }
    return OutputMayBeWritten(file, *target);
}

Result<void> ReplaceFileAtomically(const std::filesystem::path& file, std::string_view content,
                                   const ReplaceOptions& options) {
    const Result<OutputTarget> prepared = PrepareReplacing(file, options);
    if (!prepared) {
        return Fail(prepared.Error());
    }
    const OutputTarget& target = *prepared;
    const std::filesystem::path folder = target.path.parent_path();
    RemoveStaleTempFiles(folder, target.path);
    int createError = 0;
    PendingFile pending = PendingFile::Create(folder, target.path, createError);
    if (!pending.Valid()) {
        // The folder refuses new files, but the file itself may be written.
        if (target.exists && (createError == EACCES || createError == EPERM)) {
            return RewriteInPlace(file, target.path, content, options.ownerOnly);
        }
        return WriteFailure(file, std::string("cannot create a temporary file in its folder: ") +
                                      std::strerror(createError));
    }
    if (!GiveOwnerAndMode(pending.Fd(), target, options.ownerOnly)) {
        return RewriteInPlace(file, target.path, content, options.ownerOnly);
    }
    std::optional<int> error = WriteAndSync(pending.Fd(), content);
    if (!error) {
        error = pending.ReplaceTarget();
    }
    if (error) {
        return WriteFailure(file, *error);
    }
    if (const int syncError = SyncFolder(folder); syncError != 0) {
        return FolderNotFlushed(file, pending, syncError);
    }
    return {};
}

Result<void> AppendToSharedFile(const std::filesystem::path& file, std::string_view bytes,
                                std::chrono::milliseconds lockWait, const std::atomic<bool>* stop) {
    const Result<OutputTarget> target = FindOutputTarget(file);
    if (!target) {
        return Fail(target.Error());
    }
    if (auto writable = OutputMayBeWritten(file, *target); !writable) {
        return writable;
    }
    UniqueFd out = OpenForWriting(target->path, O_APPEND | O_CREAT);
    if (!out.Valid()) {
        return OpenFailure(file, errno);
    }
    if (IsSpecialFile(out.Get())) {
        return WriteFailure(file, kNotRegularFile);
    }
    if (!bytes.empty()) {
        if (auto locked = LockExclusive(file, out.Get(), lockWait, stop); !locked) {
            return locked;
        }
        if (auto appended = AppendLocked(file, out.Get(), bytes); !appended) {
            return appended;
        }
    }
    if (const auto error = out.Close()) {
        return WriteFailure(file, *error);
    }
    return {};
}

}  // namespace orvalt
