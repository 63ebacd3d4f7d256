#include "platform/DeviceHolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>

namespace orvalt {

namespace {

namespace fs = std::filesystem;

// A character device is the same device under any name (a by-id link, a
// second node); anything else is the same file.
bool SameObject(const struct stat& a, const struct stat& b) {
    if (S_ISCHR(a.st_mode) || S_ISCHR(b.st_mode)) {
        return S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode) && a.st_rdev == b.st_rdev;
    }
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::optional<pid_t> ProcessNumber(const fs::path& entry) {
    const std::string name = entry.filename().string();
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (error != std::errc{} || end != name.data() + name.size() || pid <= 0) {
        return std::nullopt;
    }
    return pid;
}

// Follows each descriptor link with stat: a process may have gone, or be out
// of this user's sight, and either way it is passed over.
bool HoldsObject(const fs::path& process, const struct stat& target) {
    std::error_code error;
    for (fs::directory_iterator fd(process / "fd", error), end; !error && fd != end;
         fd.increment(error)) {
        struct stat held {};
        if (::stat(fd->path().c_str(), &held) == 0 && SameObject(held, target)) {
            return true;
        }
    }
    return false;
}

std::string CommandName(const fs::path& process) {
    std::ifstream comm(process / "comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? "?" : name;
}

std::vector<pid_t> OtherProcesses() {
    std::vector<pid_t> pids;
    std::error_code error;
    for (fs::directory_iterator entry("/proc", error), end; !error && entry != end;
         entry.increment(error)) {
        const auto pid = ProcessNumber(entry->path());
        if (pid && *pid != ::getpid()) {
            pids.push_back(*pid);
        }
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

}  // namespace

std::vector<DeviceHolder> OtherHoldersOf(int fd, std::size_t limit) {
    struct stat target {};
    std::vector<DeviceHolder> holders;
    if (::fstat(fd, &target) != 0) {
        return holders;
    }
    for (const pid_t pid : OtherProcesses()) {
        if (holders.size() >= limit) {
            break;
        }
        const fs::path process = fs::path("/proc") / std::to_string(pid);
        if (HoldsObject(process, target)) {
            holders.push_back(DeviceHolder{pid, CommandName(process)});
        }
    }
    return holders;
}

std::string DescribeHolders(const std::vector<DeviceHolder>& holders) {
    std::string text;
    for (const DeviceHolder& holder : holders) {
        text += (text.empty() ? "process " : ", process ") + std::to_string(holder.pid) + " (" +
                holder.name + ")";
    }
    return text;
}

}  // namespace orvalt
