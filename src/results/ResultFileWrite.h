#pragma once
// Writing the station's result files so that a failure is never silent and
// never leaves a half-written file behind without saying so. Every error text
// names the file: "Can't write <file>: <reason>".

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/SafeFile.h"

namespace orvalt {

// Replaces the contents of `file` with `bytes`. The bytes go to a new file in
// the same folder, reach the disk, and then take the old file's place, so the
// file holds either its old or its new contents. Only when the folder itself
// refuses new files is an existing file rewritten in place.
FileWriteResult ReplaceFileContents(const std::filesystem::path& file, std::string_view bytes);

constexpr std::chrono::milliseconds kSharedFileLockWait{10000};

// Appends `bytes` to `file` (created if missing) in one write under an
// exclusive lock, so that stations appending to one shared file never mix
// their lines. On a failure the file is cut back to the length it had, so no
// part of `bytes` stays in it. A lock held by another program for longer than
// `lockWait` is a failure.
FileWriteResult AppendToSharedFile(const std::filesystem::path& file, std::string_view bytes,
                                   std::chrono::milliseconds lockWait = kSharedFileLockWait);

}  // namespace orvalt
