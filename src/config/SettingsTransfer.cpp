#include "config/SettingsTable.h"

#include "config/FixtureName.h"
#include "config/NumberText.h"
#include "config/OwnKeyValue.h"
#include "config/SettingsLock.h"
#include "domain/Format.h"

namespace orvalt {

namespace {

// A stored text is read into a buffer of this size; what does not fit, with
// room to spare, is not taken.
constexpr std::size_t kTextBufferBytes = 128;

void LoadText(const SettingBinding& row, const RegistryStore& store, const RegKey& key) {
    const auto stored = store.QueryValue(key, row.valueName);
    if (auto taken = stored ? TakenText(*stored) : std::nullopt) {
        *row.textTarget = std::move(*taken);
    }
}

void LoadNumber(const SettingBinding& row, const RegistryStore& store, const RegKey& key) {
    const auto stored = store.QueryValue(key, row.valueName);
    if (const auto taken = stored ? TakenNumber(*stored) : std::nullopt) {
        *row.numberTarget = *taken;
    }
}

RegStatus SaveRow(const SettingBinding& row, RegistryStore& store, const RegKey& key) {
    if (row.kind == SettingKind::Text) {
        return store.SetStringValue(key, row.valueName, *row.textTarget);
    }
    return store.SetDwordValue(key, row.valueName, static_cast<std::uint32_t>(*row.numberTarget));
}

// A failed row ends the walk; the rows set so far still reach the file when the
// key is closed.
RegStatus SaveSection(const SettingsSection& section, RegistryStore& store) {
    RegKey key;
    RegStatus status = store.CreateKey(section.KeyPath(), key);
    if (!status.Ok()) {
        return status;
    }
    for (const SettingBinding& row : section.rows) {
        status = SaveRow(row, store, key);
        if (!status.Ok()) {
            break;
        }
    }
    RegStatus closed = store.CloseKey(key);
    return status.Ok() ? closed : status;
}

RegStatus SaveTable(const SettingsTable& table, RegistryStore& store) {
    for (const SettingsSection& section : table.sections) {
        RegStatus status = SaveSection(section, store);
        if (!status.Ok()) {
            const std::string reason =
                status.message.empty() ? Format("registry error %d", status.code) : status.message;
            status.message = "The settings were not saved. " + reason;
            return status;
        }
    }
    return {};
}

RegStatus SaveTableLocked(const SettingsTable& table, RegistryStore& store) {
    return SaveUnderSettingsLock(store, [&] { return SaveTable(table, store); });
}

RegStatus RefuseBadFixtureName(std::string_view fixture) {
    if (fixture.empty()) {
        return {};
    }
    const std::string error = FixtureNameError(fixture);
    return error.empty() ? RegStatus{}
                         : RegStatus{ERROR_INVALID_PARAMETER, "Bad fixture: " + error};
}

}  // namespace

std::optional<std::string> TakenText(const RegValue& stored) {
    if (stored.data.empty() || stored.data.size() >= kTextBufferBytes) {
        return std::nullopt;
    }
    return TextOf(stored);
}

// Exactly 4 bytes: a shorter REG_DWORD would fill only part of the number and
// leave the rest of it from whatever the field held before.
std::optional<std::int32_t> TakenNumber(const RegValue& stored) {
    const std::optional<std::uint32_t> number = DwordOf(stored);
    return number ? std::optional(static_cast<std::int32_t>(*number)) : std::nullopt;
}

void LoadSettings(const SettingsTable& table, RegistryStore& store) {
    for (const SettingsSection& section : table.sections) {
        RegKey key;
        if (!store.OpenKey(section.KeyPath(), key).Ok()) {
            continue;
        }
        for (const SettingBinding& row : section.rows) {
            if (row.kind == SettingKind::Text) {
                LoadText(row, store, key);
            } else {
                LoadNumber(row, store, key);
            }
        }
        store.CloseKey(key);
    }
}

int SaveSettings(const SettingsTable& table, RegistryStore& store, std::string* errorText) {
    const RegStatus status = SaveTable(table, store);
    if (!status.Ok() && errorText != nullptr) {
        *errorText = status.message;
    }
    return status.Ok() ? 0 : -1;
}

void ConvertVoltages(SettingsRecord& record) {
    record.voltageDelta = AtofText(record.VoltageDelta);
    record.voltageDeltaForOff = AtofText(record.VoltageDeltaForOff);
    record.voltageOffA = AtofText(record.VoltageOffA);
    record.voltageOffB = AtofText(record.VoltageOffB);
    record.voltageOn = AtofText(record.VoltageOn);
}

RegStatus LoadStationSettings(SettingsRecord& record, RegistryStore& store,
                              std::string_view fixture) {
    if (RegStatus refused = RefuseBadFixtureName(fixture); !refused.Ok()) {
        return refused;
    }
    {
        const std::unique_ptr<SettingsTable> table = BuildFixtureSettingsTable(record, fixture);
        ApplyDefaults(*table);
        LoadSettings(*table, store);
    }
    ConvertVoltages(record);
    return SettingsReadStatus(store);
}

RegStatus SaveStationSettings(const SettingsRecord& record, RegistryStore& store,
                              std::string_view fixture) {
    if (RegStatus refused = RefuseBadFixtureName(fixture); !refused.Ok()) {
        return refused;
    }
    // The table binds fields it may write to; saving only reads them, so a copy
    // lets a const record be saved.
    SettingsRecord copy = record;
    const std::unique_ptr<SettingsTable> table = BuildFixtureSettingsTable(copy, fixture);
    if (fixture.empty() && record.U3SerialNumber.empty()) {
        table->sections.pop_back();  // the Device key: a station that never set it keeps none
    }
    return SaveTableLocked(*table, store);
}

}  // namespace orvalt
