#include "records/ResultsSetting.h"

#include "config/OwnKeyValue.h"
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

std::filesystem::path DefaultResultsSpool(std::string_view database) {
    const auto folder = StationDataFolder();
    const std::string name = "spool-" + Sha256Hex(database).substr(0, 12) + ".sqlite";
    return folder.empty() ? folder : folder / name;
}

std::string ChooseResultsDatabase(const std::optional<std::string>& commandLine,
                                  const std::string& setting) {
    if (commandLine && !commandLine->empty())
        return *commandLine;
    if (!setting.empty())
        return setting;
    return DefaultResultsDatabase().string();
}

}  // namespace orvalt
