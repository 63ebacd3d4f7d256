#pragma once
// A SQLite records file as its path names it. SQLite opens whatever stands
// there and waits: a pipe holds the program until something writes to it, and
// a device such as /dev/zero reads as an empty database; so only a regular
// file is opened, and only beside files of SQLite's own that are regular too.
// Its mark tells a reader that keeps the file open that another file took its
// place, or that the file no longer holds a SQLite database.

#include <filesystem>
#include <string>

#include "base/Result.h"
#include "platform/FileIdentity.h"

namespace orvalt {

// Whether a regular file stands at `file`; a failure naming it when
// something else stands there or in the place of its write-ahead log, its
// shared-memory index or its journal ("Results database F: not a regular
// file").
Result<bool> RecordsFileThere(const std::filesystem::path& file);

struct RecordsFileMark {
    FileIdentity identity;
    // A regular file that is empty (a database not written yet) or begins
    // with SQLite's header.
    bool sqlite = false;
    // Why the path could not be looked at, if it could not.
    std::string unseen;
    bool operator==(const RecordsFileMark&) const = default;
};

// What stands at `file` now; never waits, and opens only a regular file.
RecordsFileMark MarkOfRecordsFile(const std::filesystem::path& file);

// How `now` differs from `before` in words ("another file stands at its
// path", "it no longer holds a SQLite database", ...); empty when alike.
std::string MarkChange(const RecordsFileMark& before, const RecordsFileMark& now);

}  // namespace orvalt
