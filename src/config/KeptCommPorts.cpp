#include "config/KeptCommPorts.h"

#include "config/FixtureName.h"
#include "config/OwnKeyValue.h"
#include "config/RegDocument.h"
#include "config/SettingsTable.h"

namespace orvalt {

namespace {

std::vector<std::string> FixtureNames(RegistryStore& store) {
    RegKey fixtures;
    const std::string path = std::string(kProgramKey) + "\\" + std::string(kFixturesSubkey);
    if (!store.OpenKey(path, fixtures).Ok()) {
        return {};
    }
    std::vector<std::string> names = store.SubkeyNames(fixtures);
    store.CloseKey(fixtures);
    return names;
}

void AddKept(RegistryStore& store, const std::string& keyPath, std::vector<std::int32_t>& kept) {
    const std::optional<std::uint32_t> number = LoadOwnKeyDword(store, keyPath, "CommPort");
    if (number && *number != 0) {
        kept.push_back(static_cast<std::int32_t>(*number));
    }
}

}  // namespace

std::vector<std::int32_t> CommPortsKeptByOthers(RegistryStore& store, std::string_view fixture) {
    std::vector<std::int32_t> kept;
    if (!fixture.empty()) {
        AddKept(store, std::string(kProgramKey) + "\\Location", kept);
    }
    for (const std::string& name : FixtureNames(store)) {
        if (FoldName(name) != FoldName(fixture)) {
            AddKept(store, FixtureKeyPath(name), kept);
        }
    }
    return kept;
}

}  // namespace orvalt
