#pragma once
// Numbered places in a folder that running processes hold while they live:
// slot N is the file "N.claim", held under an exclusive flock by the object
// that took it, with a short text that the others read. A holder that ends,
// even by a crash, lets go of its slot with its descriptor, so a slot is free
// exactly when nothing alive holds its file. Taking, rewriting and reading go
// under the folder's lock file, so no reader sees half a text.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"
#include "platform/UniqueFd.h"

namespace orvalt {

struct HeldSlot {
    std::size_t slot = 0;
    std::string text;
};

class SlotClaim {
  public:
    // Takes the lowest free slot below `most` in `folder` (made when missing)
    // and writes `text` into it; why not when none could be taken.
    static Result<SlotClaim> TakeFree(const std::filesystem::path& folder, std::size_t most,
                                      std::string_view text);

    std::size_t Slot() const { return slot_; }
    // Replaces the slot's text; why not when it could not be written.
    Result<void> Rewrite(std::string_view text);

  private:
    SlotClaim(std::filesystem::path folder, std::size_t slot, UniqueFd fd)
        : folder_(std::move(folder)), slot_(slot), fd_(std::move(fd)) {}

    std::filesystem::path folder_;
    std::size_t slot_ = 0;
    UniqueFd fd_;
};

// The slots below `most` that something alive holds, with their texts, in slot
// order; `except` (a slot the caller holds itself) left out. Nothing when the
// folder is missing or its lock can't be had.
std::vector<HeldSlot> HeldSlots(const std::filesystem::path& folder, std::size_t most,
                                std::optional<std::size_t> except = std::nullopt);

}  // namespace orvalt
