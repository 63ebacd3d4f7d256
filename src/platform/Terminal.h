#pragma once
// Whether a file descriptor is a terminal a person is watching.

namespace orvalt {

inline constexpr int kStandardErrorFd = 2;

bool IsTerminal(int fd);

}  // namespace orvalt
