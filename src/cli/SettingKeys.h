#pragma once
// The settings the station reads, named as `orvalt-cli settings` names them:
// the key below HKEY_CURRENT_USER\Software\Kestrune\Orvalt, a backslash and
// the value ("Location\VoltageOn", "Results\ResultsDatabase",
// "Fixtures\Bay 1\Window\X"), matched without regard to case as the registry
// matches them. Each knows its registry type, the rule the station reads it
// by, its default and which values make sense to set.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"
#include "config/RegistryStore.h"

namespace orvalt {

// How the station takes a stored value: by the rules of Location's table (a
// text of 1 to 127 bytes, a 4-byte REG_DWORD), or as a key of its own takes
// it (any REG_SZ, a 4-byte REG_DWORD).
enum class SettingRule { TableText, TableNumber, OwnText, OwnNumber };

struct SettingKey {
    std::string key;    // below the program key: "Location", "Fixtures\Bay 1\Window"
    std::string value;  // the value name as the station spells it
    SettingRule rule = SettingRule::TableText;
    // What the station uses when nothing usable is stored; nothing when it
    // then does without (a window placed by the window manager).
    std::optional<std::string> byDefault;
    // Why a text can't be set; empty when it can.
    std::string (*check)(const std::string& text) = nullptr;

    std::string Name() const { return key + "\\" + value; }
    std::string KeyPath() const;  // below HKEY_CURRENT_USER
    bool IsText() const { return rule == SettingRule::TableText || rule == SettingRule::OwnText; }
};

// The setting `name` names, or why it names none, in words.
Result<SettingKey> FindSettingKey(std::string_view name);

// The settings below `key` ("Location", "Fixtures\Bay 1"); every setting of
// the station without a fixture name and of each fixture the file holds,
// for an empty `key`; the key's own words when it names none.
Result<std::vector<SettingKey>> SettingKeysBelow(std::string_view key, RegistryStore& store);

// The registry value `text` is stored as, or why it can't be set.
Result<RegValue> ValueToStore(const SettingKey& setting, const std::string& text);

// What the station makes of the stored value: the value it uses (nothing:
// none), and, in words, why that is not the stored value, or what is wrong
// with the stored one; empty when it is stored and fine.
struct SettingReading {
    std::optional<std::string> value;
    std::string note;
};
SettingReading ReadSetting(const SettingKey& setting, RegistryStore& store);

// The values stored in `keyPath` that no setting of `settings` names.
std::vector<std::string> ValuesNoSettingNames(const std::vector<SettingKey>& settings,
                                              const std::string& keyPath, RegistryStore& store);

}  // namespace orvalt
