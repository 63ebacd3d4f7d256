#pragma once
// Whole-file reads that cannot block or run away, whole-file replacement that a
// crash cannot tear, and appends to a file several stations share. Every failure
// is a message naming the file: "Can't write <file>: <reason>".

#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/Result.h"

namespace orvalt {

// The reason every refusal of a folder, a pipe or a device gives.
inline constexpr const char* kNotRegularFile = "not a regular file";

// Why a file was not read. A missing one is no failure to most callers.
struct FileReadError {
    bool missing = false;
    std::string reason;   // without the file
    std::string message;  // when not missing: "Can't read <file>: <reason>"
};

// Reads a regular file of at most maxBytes. A missing file is not a failure; a
// folder, a pipe, a device or a larger file is (a pipe or /dev/zero would
// otherwise block or never end). `stop` becoming true ends a long read.
Result<std::string, FileReadError> ReadRegularFile(const std::filesystem::path& file,
                                                   std::size_t maxBytes,
                                                   const std::atomic<bool>* stop = nullptr);

struct ReplaceOptions {
    // Create the file's folder when it is missing (a first settings save).
    bool createFolder = false;
    // The file holds a secret: only its owner may read it (0600 at most).
    bool ownerOnly = false;
};

// Every output of the station, whatever writes it, goes through the two calls
// below and keeps their rules (OutputTarget.h): a symbolic link is followed,
// so the file it points to is written, not the link, unless another user
// could have planted it (in a sticky folder anyone may write); so is a file of
// another user there. Only a regular file is ever written: a device, a pipe or
// a folder is refused, untouched, and so is a file its owner made read-only
// (even for root). A missing name, or a folder that won't take a new file, is
// refused before anything is written.
//
// Whether `file` could be written so, checked without writing anything: a
// save of several files checks them all before it writes the first.
Result<void> CheckOutputFile(const std::filesystem::path& file);

// Replaces `file` by `content`: the new content goes to a file without a name in
// the same folder, reaches the disk, and is renamed over the old file, so the
// file is always either the old one or the new one. A new file gets 0666
// narrowed by the umask; a replaced one keeps its owner, group and mode. Where
// the new file can't be given them (another user's file that this one may
// write) or the folder refuses new files, the file is rewritten in place
// instead, which a crash can tear. The save is done only when the file and
// its folder have been flushed to disk. On failure nothing is left behind and
// the old file is untouched (a folder that fails to flush after the rename gets
// the old file back where the file system can swap two names, as ext4, XFS,
// Btrfs and tmpfs can); what a killed save left is removed by the next save of
// the same file.
Result<void> ReplaceFileAtomically(const std::filesystem::path& file, std::string_view content,
                                   const ReplaceOptions& options = {});

constexpr std::chrono::milliseconds kSharedFileLockWait{10000};

// Takes flock's exclusive lock on the open file `fd` (named `file` in the
// message), waiting up to `lockWait` for another holder, or until `stop`
// becomes true.
Result<void> LockExclusive(const std::filesystem::path& file, int fd,
                           std::chrono::milliseconds lockWait,
                           const std::atomic<bool>* stop = nullptr);

// Appends `bytes` to `file` (created if missing) in one write under an
// exclusive lock, so that stations appending to one shared file never mix
// their lines. On a failure the file is cut back to the length it had, so no
// part of `bytes` stays in it. A lock held by another program for longer than
// `lockWait`, or until `stop` becomes true, is a failure; so is a file that is
// not a regular one (a pipe would block forever), and whatever the rules
// above refuse.
Result<void> AppendToSharedFile(const std::filesystem::path& file, std::string_view bytes,
                                std::chrono::milliseconds lockWait = kSharedFileLockWait,
                                const std::atomic<bool>* stop = nullptr);

}  // namespace orvalt
