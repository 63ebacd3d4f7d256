#pragma once
// Whole-file reads that cannot block or run away, whole-file replacement that a
// crash cannot tear, and appends to a file several stations share. Every failure
// is a message naming the file: "Can't write <file>: <reason>".

#include <chrono>
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

struct ReplaceOptions {
    // Create the file's folder when it is missing (a first settings save).
    bool createFolder = false;
    // A file its owner made read-only stays as it is and the write is refused,
    // although the folder would let a new file take its place.
    bool keepReadOnlyFile = false;
    // When the folder refuses new files but the file itself may be written,
    // rewrite it in place (not crash-proof, but better than no result file).
    bool rewriteInPlaceWhenFolderRefuses = false;
};

// Replaces `file` by `content`: the new content goes to a temporary file in the
// same folder, reaches the disk, and is renamed over the old file, so the file is
// always either the old one or the new one. A symbolic link is followed, so the
// file it points to is replaced, not the link; the old file's permissions are
// kept. On failure the temporary file is removed and the old file is untouched.
FileWriteResult ReplaceFileAtomically(const std::filesystem::path& file, std::string_view content,
                                      const ReplaceOptions& options = {});

constexpr std::chrono::milliseconds kSharedFileLockWait{10000};

// Appends `bytes` to `file` (created if missing) in one write under an
// exclusive lock, so that stations appending to one shared file never mix
// their lines. On a failure the file is cut back to the length it had, so no
// part of `bytes` stays in it. A lock held by another program for longer than
// `lockWait` is a failure.
FileWriteResult AppendToSharedFile(const std::filesystem::path& file, std::string_view bytes,
                                   std::chrono::milliseconds lockWait = kSharedFileLockWait);

}  // namespace orvalt
