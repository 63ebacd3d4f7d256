#include "config/SettingsTable.h"

#include <array>

#include "domain/Format.h"

namespace orvalt {

namespace {

// Each setting's default is the one its member is given in SettingsRecord.
const SettingsRecord kDefaults{};

void AddPathRows(SettingsSection& section, SettingsRecord& record) {
    section.AddRow(TextSetting("ProgramDirPath", record.ProgramDirPath, kDefaults.ProgramDirPath));
    section.AddRow(TextSetting("LogDirPath", record.LogDirPath, kDefaults.LogDirPath));
    section.AddRow(TextSetting("TempDirPath", record.TempDirPath, kDefaults.TempDirPath));
    section.AddRow(TextSetting("DataDirPath", record.DataDirPath, kDefaults.DataDirPath));
}

void AddColumnWidthRows(SettingsSection& section, SettingsRecord& record) {
    for (std::size_t i = 0; i < record.ColumnWidth.size(); ++i) {
        section.AddRow(NumberSetting(Format("ColumnWidth%zu", i), record.ColumnWidth[i],
                                     kDefaults.ColumnWidth[i]));
    }
}

void AddVoltageRows(SettingsSection& section, SettingsRecord& record) {
    section.AddRow(TextSetting("VoltageDelta", record.VoltageDelta, kDefaults.VoltageDelta));
    section.AddRow(
        TextSetting("VoltageDeltaForOff", record.VoltageDeltaForOff, kDefaults.VoltageDeltaForOff));
    section.AddRow(TextSetting("VoltageOffA", record.VoltageOffA, kDefaults.VoltageOffA));
    section.AddRow(TextSetting("VoltageOffB", record.VoltageOffB, kDefaults.VoltageOffB));
    section.AddRow(TextSetting("VoltageOn", record.VoltageOn, kDefaults.VoltageOn));
}

void AddTimingRows(SettingsSection& section, SettingsRecord& record) {
    section.AddRow(
        NumberSetting("timeToOffSeconds", record.timeToOffSeconds, kDefaults.timeToOffSeconds));
    section.AddRow(NumberSetting("cfgTime1", record.cfgTime1, kDefaults.cfgTime1));
    section.AddRow(NumberSetting("cfgTime2", record.cfgTime2, kDefaults.cfgTime2));
    section.AddRow(NumberSetting("cfgTime3", record.cfgTime3, kDefaults.cfgTime3));
    section.AddRow(NumberSetting("cfgTime4", record.cfgTime4, kDefaults.cfgTime4));
    section.AddRow(NumberSetting("cfgTime5", record.cfgTime5, kDefaults.cfgTime5));
    section.AddRow(NumberSetting("cfgTime6", record.cfgTime6, kDefaults.cfgTime6));
    section.AddRow(NumberSetting("cfgTime7", record.cfgTime7, kDefaults.cfgTime7));
    section.AddRow(
        NumberSetting("cfgLevelDuration", record.cfgLevelDuration, kDefaults.cfgLevelDuration));
    section.AddRow(NumberSetting("TaskTerminateWaitTime", record.TaskTerminateWaitTime,
                                 kDefaults.TaskTerminateWaitTime));
}

void AddDescriptionRows(SettingsSection& section, SettingsRecord& record) {
    section.AddRow(TextSetting("Manufacturer", record.Manufacturer, kDefaults.Manufacturer));
    section.AddRow(TextSetting("Model", record.Model, kDefaults.Model));
    section.AddRow(TextSetting("Type", record.Type, kDefaults.Type));
    section.AddRow(TextSetting("Power", record.Power, kDefaults.Power));
    section.AddRow(TextSetting("FixtureSize", record.FixtureSize, kDefaults.FixtureSize));
    section.AddRow(
        TextSetting("DriverManufacturer", record.DriverManufacturer, kDefaults.DriverManufacturer));
    section.AddRow(TextSetting("DriverModel", record.DriverModel, kDefaults.DriverModel));
}

void AddPortRows(SettingsSection& section, SettingsRecord& record) {
    section.AddRow(NumberSetting("CommPort", record.CommPort, kDefaults.CommPort));
    section.AddRow(NumberSetting("BaudRate", record.BaudRate, kDefaults.BaudRate));
    section.AddRow(NumberSetting("TTOTestOption", record.TTOTestOption, kDefaults.TTOTestOption));
}

void AddLocationRows(SettingsSection& section, SettingsRecord& record) {
    AddPathRows(section, record);
    AddColumnWidthRows(section, record);
    AddVoltageRows(section, record);
    AddTimingRows(section, record);
    AddDescriptionRows(section, record);
    AddPortRows(section, record);
}

void AddDeviceRow(SettingsSection& section, SettingsRecord& record) {
    section.AddRow(TextSetting("U3SerialNumber", record.U3SerialNumber, ""));
}

void ApplyDefault(const SettingBinding& row) {
    if (row.kind == SettingKind::Text) {
        *row.textTarget = row.textDefault;
    } else {
        *row.numberTarget = row.numberDefault;
    }
}

}  // namespace

SettingBinding TextSetting(std::string valueName, std::string& target, std::string textDefault) {
    return {std::move(valueName), SettingKind::Text, &target, nullptr, std::move(textDefault), 0};
}

SettingBinding NumberSetting(std::string valueName, std::int32_t& target,
                             std::int32_t numberDefault) {
    return {std::move(valueName), SettingKind::Number, nullptr, &target, {}, numberDefault};
}

std::string SettingsSection::KeyPath() const {
    return subkey.empty() ? std::string(kProgramKey) : std::string(kProgramKey) + "\\" + subkey;
}

std::unique_ptr<SettingsTable> BuildSettingsTable(SettingsRecord& record) {
    auto table = std::make_unique<SettingsTable>();
    SettingsSection& location = table->sections.emplace_back();
    location.subkey = "Location";
    AddLocationRows(location, record);
    return table;
}

std::unique_ptr<SettingsTable> BuildFixtureSettingsTable(SettingsRecord& record,
                                                         std::string_view fixture) {
    if (fixture.empty()) {
        auto table = BuildSettingsTable(record);
        SettingsSection& device = table->sections.emplace_back();
        device.subkey = kDeviceSubkey;
        AddDeviceRow(device, record);
        return table;
    }
    auto table = std::make_unique<SettingsTable>();
    SettingsSection& section = table->sections.emplace_back();
    section.subkey = std::string(kFixturesSubkey) + "\\" + std::string(fixture);
    AddLocationRows(section, record);
    AddDeviceRow(section, record);
    return table;
}

void ApplyDefaults(const SettingsTable& table) {
    for (const SettingsSection& section : table.sections) {
        for (const SettingBinding& row : section.rows) {
            ApplyDefault(row);
        }
    }
}

}  // namespace orvalt
