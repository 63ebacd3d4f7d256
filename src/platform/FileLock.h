#pragma once
// An exclusive lock that processes take around a read-modify-write of a file
// they share and replace whole (the settings file of several fixtures): the
// file itself can't carry the lock, since each replacement is a new file, so a
// lock file beside it does. The lock goes with the object.

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/UniqueFd.h"

namespace orvalt {

class FileLock {
  public:
    // Opens (creating) `lockFile` and waits up to `wait` for its lock.
    FileLock(const std::filesystem::path& lockFile, std::chrono::milliseconds wait);

    bool Held() const { return held_; }
    // Another holder kept it past the wait (rather than: it could not be made).
    bool Contended() const { return contended_; }
    // Why it is not held, naming the lock file.
    const std::string& Error() const { return error_; }

  private:
    UniqueFd fd_;
    bool held_ = false;
    bool contended_ = false;
    std::string error_;
};

}  // namespace orvalt
