#include "seal/StationKeyFiles.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <utility>

#include "platform/DataPaths.h"
#include "platform/FileLock.h"
#include "platform/SafeFile.h"

namespace orvalt {

namespace {

constexpr const char* kKeyName = "station-key.pem";
constexpr std::size_t kMaxKeyFileBytes = 64 * 1024;
constexpr std::chrono::milliseconds kMakeLockWait{10000};

// Read by every account, a private key seals for anyone who logs in.
Result<void> RefuseOpenToAll(const std::filesystem::path& file) {
    std::error_code failed;
    const auto permissions = std::filesystem::status(file, failed).permissions();
    if (!failed &&
        (permissions & std::filesystem::perms::others_read) != std::filesystem::perms::none) {
        return Fail("The station key " + file.string() +
                    " may be read by every account: it must be readable by the station's "
                    "accounts only (0640 or 0600).");
    }
    return {};
}

// `what` names the file in a refusal: "The station key FILE", "The key FILE".
Result<std::string> ReadKeyFile(const std::filesystem::path& file, const std::string& what) {
    auto read = ReadRegularFile(file, kMaxKeyFileBytes);
    if (!read) {
        return Fail(read.Error().missing ? what + " is missing." : read.Error().message + ".");
    }
    return std::move(*read);
}

Result<StationKey> ReadPrivateKey(const std::filesystem::path& file) {
    const Result<std::string> read = ReadKeyFile(file, "The station key " + file.string());
    if (!read) {
        return Fail(read.Error());
    }
    if (const Result<void> open = RefuseOpenToAll(file); !open) {
        return Fail(open.Error());
    }
    return StationKey::FromPrivatePem(*read, file.string());
}

Result<StationKey> WriteNewKey(const std::filesystem::path& file) {
    Result<StationKey> key = StationKey::Make();
    if (!key) {
        return key;
    }
    const Result<std::string> privatePem = key->PrivatePem();
    const Result<std::string> publicPem = key->PublicPem();
    if (!privatePem || !publicPem) {
        return Fail(privatePem ? publicPem.Error() : privatePem.Error());
    }
    // The public half first: a private half on disk always has its public one.
    ReplaceOptions shared;
    shared.createFolder = true;
    if (const Result<void> written = ReplaceFileAtomically(PublicKeyFile(file), *publicPem, shared);
        !written) {
        return Fail(written.Error());
    }
    ReplaceOptions secret = shared;
    secret.ownerOnly = true;
    if (const Result<void> written = ReplaceFileAtomically(file, *privatePem, secret); !written) {
        return Fail(written.Error());
    }
    return key;
}

}  // namespace

const std::filesystem::path& SystemKeyFolder() {
    static const std::filesystem::path folder{"/etc/orvalt"};
    return folder;
}

StationKeyPlace StationKeyPlaceFor(const std::filesystem::path& systemFolder,
                                   const std::filesystem::path& dataFolder) {
    std::error_code failed;
    if (std::filesystem::is_directory(systemFolder, failed)) {
        return {systemFolder / kKeyName, false};
    }
    if (dataFolder.empty()) {
        return {};
    }
    return {dataFolder / kKeyName, true};
}

StationKeyPlace DefaultStationKeyPlace() {
    return StationKeyPlaceFor(SystemKeyFolder(), StationDataFolder());
}

std::filesystem::path PublicKeyFile(const std::filesystem::path& privateKey) {
    std::filesystem::path file = privateKey;
    return file.replace_extension(".pub");
}

Result<StationKey> LoadStationKey(const StationKeyPlace& place) {
    if (place.file.empty()) {
        return Fail(std::string("The station has no key: it has no data folder."));
    }
    std::error_code failed;
    if (!place.makeWhenMissing || std::filesystem::exists(place.file, failed)) {
        return ReadPrivateKey(place.file);
    }
    const Result<StationKeyMade> made = MakeStationKey(place.file);
    if (!made) {
        return Fail(made.Error());
    }
    return made->key;
}

Result<StationKeyMade> MakeStationKey(const std::filesystem::path& file) {
    std::error_code failed;
    std::filesystem::create_directories(file.parent_path(), failed);
    std::filesystem::path lockFile = file;
    lockFile += ".lock";
    const FileLock lock(lockFile, kMakeLockWait);
    if (!lock.Held()) {
        return Fail(lock.Error());
    }
    if (std::filesystem::exists(file, failed)) {
        Result<StationKey> there = ReadPrivateKey(file);
        if (!there) {
            return Fail(there.Error());
        }
        return StationKeyMade{*there, false};
    }
    Result<StationKey> made = WriteNewKey(file);
    if (!made) {
        return Fail(made.Error());
    }
    return StationKeyMade{*made, true};
}

Result<std::vector<StationKey>> LoadPublicKeys(const std::filesystem::path& fileOrFolder) {
    std::error_code failed;
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(fileOrFolder, failed)) {
        for (const auto& entry : std::filesystem::directory_iterator(fileOrFolder, failed)) {
            if (entry.path().extension() == ".pub") {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
    } else {
        files.push_back(fileOrFolder);
    }
    std::vector<StationKey> keys;
    for (const std::filesystem::path& file : files) {
        const Result<std::string> read = ReadKeyFile(file, "The key " + file.string());
        if (!read) {
            return Fail(read.Error());
        }
        Result<StationKey> key = StationKey::FromPublicPem(*read, file.string());
        if (!key) {
            return Fail(key.Error());
        }
        keys.push_back(*key);
    }
    return keys;
}

}  // namespace orvalt
