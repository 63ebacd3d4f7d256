#include "records/ResultsSetting.h"

#include "platform/DataPaths.h"

namespace orvalt {

std::string LoadResultsDatabaseSetting(RegistryStore& store) {
    RegKey key;
    if (!store.OpenKey(kResultsKey, key).Ok())
        return {};
    const RegQueryResult value = store.QueryValue(key, kResultsDatabaseValue);
    store.CloseKey(key);
    if (value.code != ERROR_SUCCESS || value.type != REG_SZ)
        return {};
    return value.data.substr(0, value.data.find('\0'));
}

RegStatus SaveResultsDatabaseSetting(RegistryStore& store, std::string_view target) {
    RegKey key;
    RegStatus status = store.CreateKey(kResultsKey, key);
    if (!status.Ok())
        return status;
    status = store.SetStringValue(key, kResultsDatabaseValue, target);
    const RegStatus closed = store.CloseKey(key);
    return status.Ok() ? closed : status;
}

std::filesystem::path DefaultResultsDatabase() {
    const auto folder = StationDataFolder();
    return folder.empty() ? folder : folder / "results.sqlite";
}

std::filesystem::path DefaultResultsSpool() {
    const auto folder = StationDataFolder();
    return folder.empty() ? folder : folder / "spool.sqlite";
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
