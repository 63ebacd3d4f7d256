#include "platform/SlotClaim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/FileLock.h"

namespace orvalt {

namespace {

namespace fs = std::filesystem;

// Claims are a few lines each; a longer file is not one of ours.
constexpr std::size_t kMostClaimBytes = 4096;
constexpr std::chrono::milliseconds kFolderLockWait{2000};

fs::path SlotFile(const fs::path& folder, std::size_t slot) {
    return folder / (std::to_string(slot) + ".claim");
}

FileLock LockFolder(const fs::path& folder) {
    return FileLock(folder / "claims.lock", kFolderLockWait);
}

Result<void> WriteWhole(int fd, std::string_view text, const fs::path& file) {
    if (::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
        return Fail("Can't write " + file.string() + ": " + std::strerror(errno));
    }
    return {};
}

std::string ReadWhole(int fd) {
    std::string text(kMostClaimBytes, '\0');
    const ssize_t count = ::pread(fd, text.data(), text.size(), 0);
    text.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    return text;
}

// The slot's text when something holds it; nothing when it is free.
std::optional<std::string> HeldText(const fs::path& file) {
    const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd.Valid()) {
        return std::nullopt;
    }
    if (::flock(fd.Get(), LOCK_SH | LOCK_NB) == 0) {
        return std::nullopt;  // closing the descriptor lets go again
    }
    return errno == EWOULDBLOCK ? std::optional(ReadWhole(fd.Get())) : std::nullopt;
}

}  // namespace

Result<SlotClaim> SlotClaim::TakeFree(const fs::path& folder, std::size_t most,
                                      std::string_view text) {
    std::error_code made;
    fs::create_directories(folder, made);
    const FileLock lock = LockFolder(folder);
    if (!lock.Held()) {
        return Fail(lock.Error());
    }
    for (std::size_t slot = 0; slot < most; ++slot) {
        const fs::path file = SlotFile(folder, slot);
        UniqueFd fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666));
        if (!fd.Valid()) {
            return Fail("Can't open " + file.string() + ": " + std::strerror(errno));
        }
        if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
            continue;
        }
        if (Result<void> written = WriteWhole(fd.Get(), text, file); !written) {
            return Fail(written.Error());
        }
        return SlotClaim(folder, slot, std::move(fd));
    }
    return Fail("All " + std::to_string(most) + " places in " + folder.string() + " are taken");
}

Result<void> SlotClaim::Rewrite(std::string_view text) {
    const FileLock lock = LockFolder(folder_);
    if (!lock.Held()) {
        return Fail(lock.Error());
    }
    return WriteWhole(fd_.Get(), text, SlotFile(folder_, slot_));
}

std::vector<HeldSlot> HeldSlots(const fs::path& folder, std::size_t most,
                                std::optional<std::size_t> except) {
    std::vector<HeldSlot> held;
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        return held;
    }
    const FileLock lock = LockFolder(folder);
    if (!lock.Held()) {
        return held;
    }
    for (std::size_t slot = 0; slot < most; ++slot) {
        if (slot == except) {
            continue;
        }
        if (std::optional<std::string> text = HeldText(SlotFile(folder, slot))) {
            held.push_back(HeldSlot{slot, std::move(*text)});
        }
    }
    return held;
}

}  // namespace orvalt
