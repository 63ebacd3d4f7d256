#pragma once
// Whole-file reads that cannot block or run away, and whole-file replacement
// that a crash cannot tear: the new content goes to a temporary file in the same
// folder, is flushed, and is renamed over the old file, so the file on disk is
// always either the old one or the new one.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace orvalt {

struct FileReadResult {
    enum class State { Read, Missing, Failed };
    State state = State::Missing;
    std::string bytes;    // the content when Read
    std::string message;  // why, when Failed; names the file
};

// Reads a regular file of at most maxBytes. A missing file is not a failure; a
// folder, a pipe, a device or a larger file is (a pipe or /dev/zero would
// otherwise block or never end).
FileReadResult ReadRegularFile(const std::filesystem::path& file, std::size_t maxBytes);

struct FileWriteResult {
    bool ok = true;
    std::string message;  // why, when not ok; names the file
};

// Replaces `file` by `content` atomically, creating its folder when missing. A
// symbolic link is followed, so the file it points to is replaced, not the link.
// On failure the temporary file is removed and the old file is untouched.
FileWriteResult ReplaceFileAtomically(const std::filesystem::path& file, std::string_view content);

}  // namespace orvalt
