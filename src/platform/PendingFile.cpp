#include "platform/PendingFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <string_view>
#include <utility>

namespace orvalt {

namespace {

namespace fs = std::filesystem;

constexpr int kNameAttempts = 100;
constexpr std::size_t kSuffixLength = 6;
constexpr std::string_view kSuffixChars =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// ".NAME." : the hidden temporary files of NAME start so.
std::string TempPrefix(const fs::path& target) {
    const std::string name = target.filename().string();
    std::string prefix;
    prefix.reserve(name.size() + 2);
    prefix.push_back('.');
    prefix.append(name);
    prefix.push_back('.');
    return prefix;
}

std::string RandomSuffix() {
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kSuffixChars.size() - 1);
    std::string suffix(kSuffixLength, ' ');
    for (char& c : suffix) {
        c = kSuffixChars[pick(random)];
    }
    return suffix;
}

std::string TempName(const fs::path& folder, const fs::path& target) {
    return (folder / (TempPrefix(target) + RandomSuffix())).string();
}

bool IsTempNameOf(const std::string& name, const std::string& prefix) {
    return name.size() == prefix.size() + kSuffixLength && name.starts_with(prefix);
}

// A file system without unnamed files answers O_TMPFILE with one of these.
bool UnnamedUnsupported(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

bool LockWithoutWaiting(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

// Links the unnamed file at `fd` to `name`: directly where the process may
// (CAP_DAC_READ_SEARCH), otherwise through its /proc entry.
int LinkUnnamed(int fd, const std::string& name) {
    if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
        return 0;
    }
    if (errno == EEXIST) {
        return EEXIST;
    }
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0
                                                                                            : errno;
}

// The writer of a temporary file holds its lock until the file is renamed or
// removed, so a lock we can take means nobody will ever finish it: it goes.
bool RemoveIfAbandoned(const fs::path& file) {
    const UniqueFd fd(
        ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    return fd.Valid() && ::fstat(fd.Get(), &info) == 0 && S_ISREG(info.st_mode) &&
           LockWithoutWaiting(fd.Get()) && ::unlink(file.c_str()) == 0;
}

}  // namespace

PendingFile::PendingFile(UniqueFd fd, fs::path folder, fs::path target, std::string name)
    : fd_(std::move(fd)),
      folder_(std::move(folder)),
      target_(std::move(target)),
      name_(std::move(name)) {}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : fd_(std::move(other.fd_)),
      folder_(std::move(other.folder_)),
      target_(std::move(other.target_)),
      name_(std::exchange(other.name_, {})),
      oldFile_(std::move(other.oldFile_)),
      placed_(std::exchange(other.placed_, Placed::Not)) {}

PendingFile::~PendingFile() {
    if (!name_.empty()) {
        ::unlink(name_.c_str());
    }
}

PendingFile PendingFile::Create(const fs::path& folder, const fs::path& target, int& error) {
    UniqueFd unnamed(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, kNewFileMode));
    if (unnamed.Valid() && LockWithoutWaiting(unnamed.Get())) {
        return PendingFile(std::move(unnamed), folder, target, "");
    }
    error = errno;
    if (!unnamed.Valid() && !UnnamedUnsupported(error)) {
        return PendingFile({}, folder, target, "");
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = TempName(folder, target);
        UniqueFd named(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode));
        if (named.Valid()) {
            LockWithoutWaiting(named.Get());
            return PendingFile(std::move(named), folder, target, std::move(name));
        }
        if (errno != EEXIST) {
            break;
        }
    }
    error = errno;
    return PendingFile({}, folder, target, "");
}

std::optional<int> PendingFile::GiveName() {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = TempName(folder_, target_);
        const int error = LinkUnnamed(fd_.Get(), name);
        if (error == 0) {
            name_ = std::move(name);
            return std::nullopt;
        }
        if (error != EEXIST) {
            return error;
        }
    }
    return EEXIST;
}

// A later save removes a hidden file nobody holds locked; the old file, while
// it waits under the pending name, must not look abandoned.
void PendingFile::LockOldFile() {
    oldFile_ = UniqueFd(
        ::open(target_.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (oldFile_.Valid()) {
        LockWithoutWaiting(oldFile_.Get());
    }
}

// Swaps the names where it can (the old file stays at hand), renames where it
// cannot or where there is no old file.
std::optional<int> PendingFile::Place() {
    LockOldFile();
    if (::renameat2(AT_FDCWD, name_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) == 0) {
        placed_ = Placed::SwappedWithOld;
        return std::nullopt;
    }
    const bool noOldFile = errno == ENOENT;
    if (::rename(name_.c_str(), target_.c_str()) != 0) {
        return errno;
    }
    name_.clear();
    placed_ = noOldFile ? Placed::AsNewFile : Placed::OverOld;
    return std::nullopt;
}

std::optional<int> PendingFile::ReplaceTarget() {
    if (name_.empty()) {
        if (const auto error = GiveName()) {
            return error;
        }
    }
    if (const auto error = Place()) {
        return error;
    }
    if (const auto error = fd_.Close()) {
        PutBack();
        return error;
    }
    return std::nullopt;
}

bool PendingFile::PutBack() {
    switch (std::exchange(placed_, Placed::Not)) {
        case Placed::SwappedWithOld:
            return ::renameat2(AT_FDCWD, name_.c_str(), AT_FDCWD, target_.c_str(),
                               RENAME_EXCHANGE) == 0;
        case Placed::AsNewFile:
            return ::unlink(target_.c_str()) == 0;
        case Placed::OverOld:
            return false;
        case Placed::Not:
            break;
    }
    return true;
}

void RemoveStaleTempFiles(const fs::path& folder, const fs::path& target) {
    const std::string prefix = TempPrefix(target);
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (IsTempNameOf(entry->path().filename().string(), prefix)) {
            RemoveIfAbandoned(entry->path());
        }
    }
}

}  // namespace orvalt
