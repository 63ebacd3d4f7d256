#pragma once
// Where an output file really goes, and whether this program may put it there.
// In a sticky folder everybody may write (as /tmp), a symbolic link is followed
// and a file written only when it belongs to this program's user or the
// folder's owner: anyone may plant one there. It is the kernel's
// protected_symlinks and protected_regular rule, kept by the program itself,
// since a link resolved here and a rename over its target pass the kernel's
// check, which may be off anyway. Not a regular file, or read-only: refused.

#include <sys/types.h>

#include <filesystem>

#include "base/Result.h"

namespace orvalt {

struct OutputTarget {
    std::filesystem::path path;  // absolute, with every symbolic link followed
    bool exists = false;
    // The file there now, when there is one.
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
};

// The file `file` names, or why no output may go there ("Can't write <file>:
// <reason>"). What an existing file is and who may write it is checked; its
// folder is not (see OutputMayBeWritten).
Result<OutputTarget> FindOutputTarget(const std::filesystem::path& file);

// Whether the output can be written once its folder exists: a new file needs a
// folder that takes new files; an existing one is written over or in place.
Result<void> OutputMayBeWritten(const std::filesystem::path& file, const OutputTarget& target);

// "Can't write <file>: <reason>", the words of every failed output.
Failure<std::string> OutputFailure(const std::filesystem::path& file, const std::string& reason);

}  // namespace orvalt
