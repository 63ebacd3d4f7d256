#include "recording/SettingsPairs.h"

#include "config/SettingsTable.h"

namespace orvalt {

std::vector<std::pair<std::string, std::string>> SettingsPairs(const SettingsRecord& settings) {
    // The table binds to a record it may write; a copy keeps the caller's safe.
    SettingsRecord copy = settings;
    const auto table = BuildSettingsTable(copy);
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const SettingsSection& section : table->sections) {
        for (const SettingBinding& row : section.rows) {
            pairs.emplace_back(row.valueName, row.kind == SettingKind::Text
                                                  ? *row.textTarget
                                                  : std::to_string(*row.numberTarget));
        }
    }
    return pairs;
}

SettingsRecord DefaultSettings() {
    SettingsRecord settings;
    ApplyDefaults(*BuildSettingsTable(settings));
    return settings;
}

}  // namespace orvalt
