#pragma once
// Whether a file descriptor is a terminal a person is watching, and how wide
// that terminal is.

#include <optional>

namespace orvalt {

inline constexpr int kStandardErrorFd = 2;

bool IsTerminal(int fd);

// The terminal's width in columns; nothing when `fd` is no terminal or the
// terminal does not say.
std::optional<int> TerminalColumns(int fd);

}  // namespace orvalt
