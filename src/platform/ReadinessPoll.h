#pragma once
// Many descriptors waited on at once by one thread (epoll): which have bytes
// to read or hung up, each known by the key it was added with. Unlike poll,
// the cost of a wait does not grow with the descriptors that stay quiet, so a
// server's one thread can watch hundreds of half-sent requests.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/UniqueFd.h"

namespace orvalt {

class ReadinessPoll {
  public:
    ReadinessPoll();

    bool Valid() const { return fd_.Valid(); }
    // Watched for reading until removed (or closed); false when it can't be.
    bool Add(int fd, std::uint64_t key);
    void Remove(int fd);
    // The keys of those ready within `timeoutMs` (negative: no limit), at
    // most `most`; none on a time-out or an interrupted wait.
    std::vector<std::uint64_t> Wait(int timeoutMs, std::size_t most = 64);

  private:
    UniqueFd fd_;
};

}  // namespace orvalt
