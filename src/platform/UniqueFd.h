#pragma once
// Owns one POSIX file descriptor and closes it when it goes, so that no error
// path can leak a port, an event or a file. Close() closes early and reports how
// that went: a close can be the first to report a failed write.

#include <unistd.h>

#include <cerrno>
#include <optional>
#include <utility>

namespace orvalt {

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }

    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.fd_, -1));
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    bool IsOpen() const { return Valid(); }

    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

    // The errno of a failed close, if it failed.
    std::optional<int> Close() {
        const int fd = std::exchange(fd_, -1);
        return ::close(fd) == 0 ? std::nullopt : std::optional<int>(errno);
    }

  private:
    int fd_ = -1;
};

}  // namespace orvalt
