#include "platform/OutputTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/SafeFile.h"
#include "platform/UniqueFd.h"

namespace orvalt {

namespace {

namespace fs = std::filesystem;

// As many links as the kernel follows in one path.
constexpr int kMaxLinks = 40;

constexpr const char* kOthersLink =
    "it goes through a symbolic link another user owns in a folder anyone may write";
constexpr const char* kOthersFile = "it belongs to another user, in a folder anyone may write";

// The names still to walk, the next one last.
using NameStack = std::vector<std::string>;

void PushNames(NameStack& stack, const fs::path& path) {
    std::vector<std::string> names;
    for (const fs::path& name : path.relative_path()) {
        names.push_back(name.string());
    }
    stack.insert(stack.end(), names.rbegin(), names.rend());
}

// Sticky and open to everybody, as /tmp: anyone may add an entry, but only
// its owner (or the folder's) may take it away.
bool IsSharedFolder(const struct stat& folder) {
    return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
}

// An entry anyone could have planted for this program to write through.
bool PlantedByAnother(const struct stat& entry, const fs::path& folder) {
    struct stat holder {};
    return ::lstat(folder.c_str(), &holder) == 0 && IsSharedFolder(holder) &&
           entry.st_uid != ::geteuid() && entry.st_uid != holder.st_uid;
}

// The link's owner and its text are read from one open entry, so that a link
// swapped for another in between is never judged by the first one's owner.
struct OpenedLink {
    bool isLink = false;
    struct stat info {};
    std::string text;
};

OpenedLink OpenLink(const fs::path& entry) {
    OpenedLink link;
    const UniqueFd fd(::open(entry.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.Valid() || ::fstat(fd.Get(), &link.info) != 0 || !S_ISLNK(link.info.st_mode)) {
        return link;
    }
    char text[PATH_MAX];
    const ssize_t length = ::readlinkat(fd.Get(), "", text, sizeof text);
    if (length >= 0) {
        link.isLink = true;
        link.text.assign(text, static_cast<std::size_t>(length));
    }
    return link;
}

// Every name of `file` in turn, each link replaced by what it points to. A
// name that is missing ends the walk: the rest is taken as it stands.
Result<fs::path> FollowLinks(const fs::path& file) {
    std::error_code error;
    const fs::path absolute = fs::absolute(file, error);
    if (error) {
        return Fail(error.message());
    }
    NameStack names;
    PushNames(names, absolute);
    fs::path walked = "/";
    int links = 0;
    while (!names.empty()) {
        const std::string name = std::move(names.back());
        names.pop_back();
        if (name.empty() || name == ".") {
            continue;
        }
        if (name == "..") {
            walked = walked.parent_path();
            continue;
        }
        const OpenedLink link = OpenLink(walked / name);
        if (!link.isLink) {
            walked /= name;
            continue;
        }
        if (++links > kMaxLinks) {
            return Fail(std::string(std::strerror(ELOOP)));
        }
        if (PlantedByAnother(link.info, walked)) {
            return Fail(std::string(kOthersLink));
        }
        if (fs::path(link.text).is_absolute()) {
            walked = "/";
        }
        PushNames(names, link.text);
    }
    return walked;
}

// A file its owner made read-only is kept, even from root, who could write it.
std::optional<int> RefusesWriting(const fs::path& target, mode_t mode) {
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        return errno;
    }
    return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ? std::optional<int>(EACCES) : std::nullopt;
}

fs::path FolderOf(const fs::path& target) {
    return target.has_parent_path() ? target.parent_path() : fs::path("/");
}

}  // namespace

Failure<std::string> OutputFailure(const fs::path& file, const std::string& reason) {
    return Fail("Can't write " + file.string() + ": " + reason);
}

Result<OutputTarget> FindOutputTarget(const fs::path& file) {
    if (file.empty() || !file.has_filename()) {
        return OutputFailure(file, std::strerror(file.empty() ? ENOENT : EISDIR));
    }
    Result<fs::path> followed = FollowLinks(file);
    if (!followed) {
        return OutputFailure(file, followed.Error());
    }
    OutputTarget target{std::move(followed).Value()};
    struct stat info {};
    if (::lstat(target.path.c_str(), &info) != 0) {
        return target;  // a new file, or one whose folder will say what is wrong
    }
    if (!S_ISREG(info.st_mode)) {
        return OutputFailure(file, kNotRegularFile);
    }
    if (PlantedByAnother(info, FolderOf(target.path))) {
        return OutputFailure(file, kOthersFile);
    }
    if (const auto error = RefusesWriting(target.path, info.st_mode)) {
        return OutputFailure(file, std::strerror(*error));
    }
    target.exists = true;
    target.owner = info.st_uid;
    target.group = info.st_gid;
    target.mode = info.st_mode & 07777;
    return target;
}

// An existing file was found writable: where the folder refuses new files it
// is rewritten in place.
Result<void> OutputMayBeWritten(const fs::path& file, const OutputTarget& target) {
    if (target.exists) {
        return {};
    }
    const fs::path folder = FolderOf(target.path);
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        return OutputFailure(file, std::strerror(errno));
    }
    return {};
}

}  // namespace orvalt
