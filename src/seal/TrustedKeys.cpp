#include "seal/TrustedKeys.h"

#include <system_error>

#include "seal/StationKeyFiles.h"

namespace orvalt {

Result<TrustedKeys> KeysToTrust(const std::vector<std::filesystem::path>& named) {
    TrustedKeys trusted;
    trusted.named = !named.empty();
    for (const std::filesystem::path& place : named) {
        Result<std::vector<StationKey>> keys = LoadPublicKeys(place);
        if (!keys) {
            return Fail(keys.Error());
        }
        if (keys->empty()) {
            return Fail("The folder " + place.string() + " holds no public key (*.pub).");
        }
        trusted.keys.insert(trusted.keys.end(), keys->begin(), keys->end());
    }
    if (trusted.named) {
        return trusted;
    }
    const std::filesystem::path own = DefaultStationKeyPlace().file;
    std::error_code failed;
    if (!own.empty() && std::filesystem::is_directory(own.parent_path(), failed)) {
        Result<std::vector<StationKey>> keys = LoadPublicKeys(own.parent_path());
        if (!keys) {
            return Fail(keys.Error());
        }
        trusted.keys = std::move(*keys);
    }
    return trusted;
}

}  // namespace orvalt
