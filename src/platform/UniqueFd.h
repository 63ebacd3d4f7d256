#pragma once
// One open file descriptor, closed when its owner goes, unless Close() already
// closed it and reported how that went (a close can be the first to report a
// failed write).

#include <unistd.h>

#include <cerrno>
#include <optional>

namespace orvalt {

class UniqueFd {
  public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }

    // The errno of a failed close, if it failed.
    std::optional<int> Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? std::nullopt : std::optional<int>(errno);
    }

  private:
    int fd_;
};

}  // namespace orvalt
