#pragma once
// The new content of a file while it is being written: a file without a name in
// the target's folder (O_TMPFILE) that gets a name only once it is complete, or,
// where the file system cannot do that, a hidden ".NAME.XXXXXX" file beside the
// target. Either way the file is locked (flock) for as long as this program may
// still rename it, so a later save can tell a temporary file whose writer died
// (a crash, kill -9) from one another station is still writing, and remove it.

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/UniqueFd.h"

namespace orvalt {

// What every file the station creates asks for, narrowed by the umask as any
// program's new file is.
inline constexpr mode_t kNewFileMode = 0666;

class PendingFile {
  public:
    // Opens the pending file for `target` in `folder`; errno when the folder
    // refuses it.
    static PendingFile Create(const std::filesystem::path& folder,
                              const std::filesystem::path& target, int& error);
    ~PendingFile();
    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&&) = delete;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool Valid() const { return fd_.Valid(); }
    int Fd() const { return fd_.Get(); }

    // Puts the complete file in the target's place (one rename, so the target
    // is always either the old file or the new one). Where the file system can
    // swap two names, the old file waits under the pending name, locked, until
    // this object goes, so that PutBack can still undo the replacement. The
    // errno of a failure; the old file is then in place.
    std::optional<int> ReplaceTarget();

    // Undoes ReplaceTarget: the old file goes back in the target's place, or
    // the new file goes when there was none. False when the file system could
    // not swap the names, so the old file is gone and the new one stays.
    bool PutBack();

  private:
    // How the new file took the target's place.
    enum class Placed { Not, SwappedWithOld, AsNewFile, OverOld };

    PendingFile(UniqueFd fd, std::filesystem::path folder, std::filesystem::path target,
                std::string name);
    std::optional<int> GiveName();
    void LockOldFile();
    std::optional<int> Place();

    UniqueFd fd_;
    std::filesystem::path folder_;
    std::filesystem::path target_;
    std::string name_;  // empty while the file has no name
    UniqueFd oldFile_;  // holds the old file's lock while it waits under name_
    Placed placed_ = Placed::Not;
};

// Removes the hidden temporary files of `target` that no living writer holds:
// the leftovers of a save that was killed.
void RemoveStaleTempFiles(const std::filesystem::path& folder, const std::filesystem::path& target);

}  // namespace orvalt
