#include "records/ResultsSetting.h"

#include "config/OwnKeyValue.h"
#include "domain/DatabaseUrl.h"
#include "platform/DataPaths.h"
#include "records/Sha256.h"

namespace orvalt {

std::string LoadResultsDatabaseSetting(RegistryStore& store) {
    return LoadOwnKeyText(store, kResultsKey, kResultsDatabaseValue);
}

RegStatus SaveResultsDatabaseSetting(RegistryStore& store, std::string_view target) {
    return SaveOwnKeyText(store, kResultsKey, kResultsDatabaseValue, target);
}

std::filesystem::path DefaultResultsDatabase() {
    const auto folder = StationDataFolder();
    return folder.empty() ? folder : folder / "results.sqlite";
}

namespace {

std::filesystem::path SpoolNamedAfter(std::string_view text) {
    const auto folder = StationDataFolder();
    const std::string name = "spool-" + Sha256Hex(text).substr(0, 12) + ".sqlite";
    return folder.empty() ? folder : folder / name;
}

}  // namespace

std::string DatabaseIdentity(std::string_view database) {
    if (LooksLikeUrl(database)) {
        const Result<ServerUrl> url = ParseServerUrl(database);
        return url ? url->identity : std::string(database);
    }
    std::error_code error;
    const auto file = std::filesystem::weakly_canonical(std::filesystem::absolute(database), error);
    return error ? std::string(database) : file.string();
}

std::filesystem::path DefaultResultsSpool(std::string_view database) {
    return SpoolNamedAfter(DatabaseIdentity(database));
}

std::filesystem::path EarlierResultsSpool(std::string_view database) {
    return SpoolNamedAfter(database);
}

std::string ChooseResultsDatabase(const std::optional<std::string>& commandLine,
                                  const std::string& setting) {
    if (commandLine && !commandLine->empty()) {
        return *commandLine;
    }
    if (!setting.empty()) {
        return setting;
    }
    return DefaultResultsDatabase().string();
}

}  // namespace orvalt
