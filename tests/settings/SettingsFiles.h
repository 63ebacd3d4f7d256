#pragma once
// Real files in a private temporary folder for the settings tests.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <string_view>

namespace orvalt::testing {

// A fresh folder, removed with its content at the end. It is open to other
// users for traversal so a test can act as an unprivileged one in it.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "orvalt-settings-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
        std::filesystem::permissions(
            path_, std::filesystem::perms::others_exec | std::filesystem::perms::group_exec,
            std::filesystem::perm_options::add);
    }
    ~TempFolder() {
        std::error_code error;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, error)) {
            if (entry.is_directory(error)) {
                std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, error);
            }
        }
        std::filesystem::remove_all(path_, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

inline std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::set<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// A .reg file holding `body` under the station's own key.
inline std::string LocationFile(std::string_view body) {
    return "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Location]\r\n" +
           std::string(body);
}

// Runs `body` in a child process as a user without root's right to write
// anywhere; returns its exit code, 125 when the identity cannot be dropped, or
// -1 when it did not exit normally.
inline int RunUnprivileged(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0);
        ::_exit(dropped ? body() : 125);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Files may not grow past `bytes` while this lives (root is bound too); a write
// beyond fails with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

}  // namespace orvalt::testing
