#pragma once
// The registry as the settings see it: a declarative table that binds each
// registry value to its field of the SettingsRecord, so loading, saving and
// defaults are one walk over the table instead of code written once per value.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/RegistryStore.h"
#include "config/SettingsRecord.h"

namespace orvalt {

// The program's key below HKEY_CURRENT_USER.
inline constexpr std::string_view kProgramKey = "Software\\Kestrune\\Orvalt";

enum class SettingKind { Text, Number };

// One registry value and the field it fills. The table never owns the field.
struct SettingBinding {
    std::string valueName;
    SettingKind kind = SettingKind::Number;
    std::string* textTarget = nullptr;     // set when kind is Text
    std::int32_t* numberTarget = nullptr;  // set when kind is Number
    std::string textDefault;
    std::int32_t numberDefault = 0;
};

SettingBinding TextSetting(std::string valueName, std::string& target, std::string textDefault);
SettingBinding NumberSetting(std::string valueName, std::int32_t& target,
                             std::int32_t numberDefault);

struct SettingsSection {
    std::string subkey;  // appended to kProgramKey; empty is the program key itself
    std::deque<SettingBinding> rows;

    // A new row goes to the front, so a walk visits rows newest first.
    void AddRow(SettingBinding row) { rows.push_front(std::move(row)); }
    std::string KeyPath() const;
};

struct SettingsTable {
    std::vector<SettingsSection> sections;
};

// A fresh table over `record`: one section "Location" with all 38 values.
std::unique_ptr<SettingsTable> BuildSettingsTable(SettingsRecord& record);

// Where a fixture's values live below kProgramKey.
inline constexpr std::string_view kFixturesSubkey = "Fixtures";
// The key of the U3 serial number of the station that has no fixture name.
inline constexpr std::string_view kDeviceSubkey = "Device";

// The table of one fixture. Without a name: "Location" with its 38 values as
// BuildSettingsTable has them, and "Device" with U3SerialNumber. With a name:
// one section "Fixtures\NAME" holding the same 38 values and U3SerialNumber.
// The name must pass FixtureNameError.
std::unique_ptr<SettingsTable> BuildFixtureSettingsTable(SettingsRecord& record,
                                                         std::string_view fixture);

void ApplyDefaults(const SettingsTable& table);

// What a row takes from a stored value, by its rule (below); nothing when the
// rule refuses it and the field keeps what it held.
std::optional<std::string> TakenText(const RegValue& stored);
std::optional<std::int32_t> TakenNumber(const RegValue& stored);

// Takes each stored value that passes its rule; everything else keeps what the
// target held. A text is taken when it is a REG_SZ of 1 to 127 bytes (a zero
// byte in it ends it early); a number when it is a REG_DWORD of 4 bytes.
void LoadSettings(const SettingsTable& table, RegistryStore& store);

// Writes every row: texts as REG_SZ of their bytes without a terminator, numbers
// as REG_DWORD. 0 on success, -1 at the first failure; `errorText`, when given,
// then says why (naming the file when writing it failed).
int SaveSettings(const SettingsTable& table, RegistryStore& store,
                 std::string* errorText = nullptr);

// Volts from the five voltage texts, by the atof rules with a decimal point.
void ConvertVoltages(SettingsRecord& record);

// Start-up: defaults, then the stored values, then the volts. The status is not
// Ok only when a settings file exists but could not be read; the record then
// holds the defaults. `fixture` names the fixture whose values are loaded
// (empty: the station's own, under Location); a name that can't be a fixture's
// loads nothing and fails with ERROR_INVALID_PARAMETER.
RegStatus LoadStationSettings(SettingsRecord& record, RegistryStore& store,
                              std::string_view fixture = {});

// Exit: writes the whole record. On failure the old file is left whole and the
// status's message, naming the file, is fit to show. Without a fixture name
// the file changes exactly as before fixtures existed: the Device key is
// written only when a U3 serial number is set.
RegStatus SaveStationSettings(const SettingsRecord& record, RegistryStore& store,
                              std::string_view fixture = {});

}  // namespace orvalt
