#pragma once
// Where a station keeps its key, outside the results database: the private
// half in a PEM file that only the station's accounts may read, the public
// half beside it (.pub) for whoever verifies. A station set up from the
// package has /etc/orvalt; a developer's machine keeps one in its data folder,
// made on first use.

#include <filesystem>
#include <vector>

#include "base/Result.h"
#include "seal/StationKey.h"

namespace orvalt {

struct StationKeyPlace {
    std::filesystem::path file;  // the private half; empty: the station has no key
    bool makeWhenMissing = false;
};

// `systemFolder`/station-key.pem where that folder exists, else
// station-key.pem in `dataFolder`, made when missing.
StationKeyPlace StationKeyPlaceFor(const std::filesystem::path& systemFolder,
                                   const std::filesystem::path& dataFolder);
// The same for /etc/orvalt and the station's data folder.
StationKeyPlace DefaultStationKeyPlace();
const std::filesystem::path& SystemKeyFolder();

// station-key.pem -> station-key.pub
std::filesystem::path PublicKeyFile(const std::filesystem::path& privateKey);

// The key of the place; made, with its public half, when it is missing and
// the place says so (processes that start at once make one between them).
Result<StationKey> LoadStationKey(const StationKeyPlace& place);

// The key in `file`, made with its public half when there is none yet.
struct StationKeyMade {
    StationKey key;
    bool made = false;
};
Result<StationKeyMade> MakeStationKey(const std::filesystem::path& file);

// The public key in a PEM file, or each one of a folder's *.pub files.
Result<std::vector<StationKey>> LoadPublicKeys(const std::filesystem::path& fileOrFolder);

}  // namespace orvalt
