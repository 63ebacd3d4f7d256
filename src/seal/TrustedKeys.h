#pragma once
// The public keys a check of the seals trusts: those its user names (files,
// or folders of *.pub files), else the ones beside the station's own key
// (its own and any the line's other stations' put there).

#include <filesystem>
#include <vector>

#include "base/Result.h"
#include "seal/StationKey.h"

namespace orvalt {

struct TrustedKeys {
    std::vector<StationKey> keys;
    // Named by whoever checks: a key that sealed no run here is then a
    // finding (its runs and their seals would all have been removed).
    bool named = false;
};

// A file or folder named that holds no public key is refused, naming it.
Result<TrustedKeys> KeysToTrust(const std::vector<std::filesystem::path>& named);

}  // namespace orvalt
