#include "config/SettingsTable.h"

#include <array>

#include "domain/Format.h"

namespace orvalt {

namespace {

constexpr std::array<std::int32_t, 9> kColumnWidthDefaults{50, 50, 50, 50, 50, 50, 50, 170, 355};

void AddPathRows(SettingsSection& section, SettingsRecord& record) {
    section.AddRow(TextSetting("ProgramDirPath", record.ProgramDirPath, ""));
    section.AddRow(TextSetting("LogDirPath", record.LogDirPath, ""));
    section.AddRow(TextSetting("TempDirPath", record.TempDirPath, ""));
    section.AddRow(TextSetting("DataDirPath", record.DataDirPath, ""));
}

void AddColumnWidthRows(SettingsSection& section, SettingsRecord& record) {
    for (std::size_t i = 0; i < record.ColumnWidth.size(); ++i) {
        section.AddRow(NumberSetting(Format("ColumnWidth%zu", i), record.ColumnWidth[i],
                                     kColumnWidthDefaults[i]));
    }
}

void AddVoltageRows(SettingsSection& section, SettingsRecord& record) {
    section.AddRow(TextSetting("VoltageDelta", record.VoltageDelta, ".5"));
    section.AddRow(TextSetting("VoltageDeltaForOff", record.VoltageDeltaForOff, ".5"));
    section.AddRow(TextSetting("VoltageOffA", record.VoltageOffA, "1.5"));
    section.AddRow(TextSetting("VoltageOffB", record.VoltageOffB, "1.0"));
    section.AddRow(TextSetting("VoltageOn", record.VoltageOn, "2.0"));
}

void AddTimingRows(SettingsSection& section, SettingsRecord& record) {
    section.AddRow(NumberSetting("timeToOffSeconds", record.timeToOffSeconds, 10));
    section.AddRow(NumberSetting("cfgTime1", record.cfgTime1, 20000));
    section.AddRow(NumberSetting("cfgTime2", record.cfgTime2, 20000));
    section.AddRow(NumberSetting("cfgTime3", record.cfgTime3, 2000));
    section.AddRow(NumberSetting("cfgTime4", record.cfgTime4, 3000));
    section.AddRow(NumberSetting("cfgTime5", record.cfgTime5, 2000));
    section.AddRow(NumberSetting("cfgTime6", record.cfgTime6, 15000));
    section.AddRow(NumberSetting("cfgTime7", record.cfgTime7, 2000));
    section.AddRow(NumberSetting("cfgLevelDuration", record.cfgLevelDuration, 4000));
    section.AddRow(NumberSetting("TaskTerminateWaitTime", record.TaskTerminateWaitTime, 5000));
}

void AddDescriptionRows(SettingsSection& section, SettingsRecord& record) {
    section.AddRow(TextSetting("Manufacturer", record.Manufacturer, ""));
    section.AddRow(TextSetting("Model", record.Model, ""));
    section.AddRow(TextSetting("Type", record.Type, ""));
    section.AddRow(TextSetting("Power", record.Power, ""));
    section.AddRow(TextSetting("FixtureSize", record.FixtureSize, ""));
    section.AddRow(TextSetting("DriverManufacturer", record.DriverManufacturer, ""));
    section.AddRow(TextSetting("DriverModel", record.DriverModel, ""));
}

void AddPortRows(SettingsSection& section, SettingsRecord& record) {
    section.AddRow(NumberSetting("CommPort", record.CommPort, 0));
    section.AddRow(NumberSetting("BaudRate", record.BaudRate, 115200));
    section.AddRow(NumberSetting("TTOTestOption", record.TTOTestOption, 10));
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
