// The settings table and the station's load and save over a real settings file.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

#include "config/RegText.h"
#include "config/SettingsTable.h"
#include "domain/Format.h"
#include "support/SettingsFiles.h"

namespace orvalt {
namespace {

using namespace std::string_literals;
using testing::FolderEntries;
using testing::LocationFile;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

constexpr std::string_view kLocation = "Software\\Kestrune\\Orvalt\\Location";

// Every stored field of a record as text, in the table's walk order.
std::vector<std::string> StoredFields(SettingsRecord record) {
    std::vector<std::string> fields;
    const auto table = BuildSettingsTable(record);
    for (const SettingBinding& row : table->sections.at(0).rows) {
        fields.push_back(
            row.valueName + "=" +
            (row.kind == SettingKind::Text ? *row.textTarget : std::to_string(*row.numberTarget)));
    }
    return fields;
}

// Every value of the settings as documented for the station's administrators,
// written out here rather than taken from the record, so that a changed
// default shows: name, then "sz:" and the text or "dword:" and the number.
std::map<std::string, std::string> DocumentedDefaults() {
    return {{"ProgramDirPath", "sz:"},
            {"LogDirPath", "sz:"},
            {"TempDirPath", "sz:"},
            {"DataDirPath", "sz:"},
            {"ColumnWidth0", "dword:50"},
            {"ColumnWidth1", "dword:50"},
            {"ColumnWidth2", "dword:50"},
            {"ColumnWidth3", "dword:50"},
            {"ColumnWidth4", "dword:50"},
            {"ColumnWidth5", "dword:50"},
            {"ColumnWidth6", "dword:50"},
            {"ColumnWidth7", "dword:170"},
            {"ColumnWidth8", "dword:355"},
            {"VoltageDelta", "sz:.5"},
            {"VoltageDeltaForOff", "sz:.5"},
            {"VoltageOffA", "sz:1.5"},
            {"VoltageOffB", "sz:1.0"},
            {"VoltageOn", "sz:2.0"},
            {"timeToOffSeconds", "dword:10"},
            {"cfgTime1", "dword:20000"},
            {"cfgTime2", "dword:20000"},
            {"cfgTime3", "dword:2000"},
            {"cfgTime4", "dword:3000"},
            {"cfgTime5", "dword:2000"},
            {"cfgTime6", "dword:15000"},
            {"cfgTime7", "dword:2000"},
            {"cfgLevelDuration", "dword:4000"},
            {"TTOTestOption", "dword:10"},
            {"Manufacturer", "sz:"},
            {"Model", "sz:"},
            {"Type", "sz:"},
            {"Power", "sz:"},
            {"FixtureSize", "sz:"},
            {"DriverManufacturer", "sz:"},
            {"DriverModel", "sz:"},
            {"TaskTerminateWaitTime", "dword:5000"},
            {"CommPort", "dword:0"},
            {"BaudRate", "dword:115200"}};
}

// The record's values as the table binds them, in the form above.
std::map<std::string, std::string> BoundValues(SettingsRecord record) {
    std::map<std::string, std::string> values;
    const auto table = BuildSettingsTable(record);
    for (const SettingBinding& row : table->sections.at(0).rows) {
        values[row.valueName] = row.kind == SettingKind::Text
                                    ? "sz:" + *row.textTarget
                                    : Format("dword:%d", *row.numberTarget);
    }
    return values;
}

// The values stored under the station's key, in the form above; any other
// type or size is shown as such.
std::map<std::string, std::string> StoredValues(const RegistryStore& store, const RegKey& key) {
    std::map<std::string, std::string> values;
    for (const std::string& name : store.ValueNames(key)) {
        const RegValue value = *store.QueryValue(key, name);
        std::uint32_t number = 0;
        for (std::size_t i = value.data.size(); i-- > 0;) {
            number = number << 8 | static_cast<unsigned char>(value.data[i]);
        }
        values[name] = value.type == REG_SZ ? "sz:" + value.data
                       : value.type == REG_DWORD && value.data.size() == 4
                           ? Format("dword:%d", static_cast<std::int32_t>(number))
                           : Format("type %u, %zu bytes", value.type, value.data.size());
    }
    return values;
}

std::vector<double> Volts(const SettingsRecord& record) {
    return {record.voltageDelta, record.voltageDeltaForOff, record.voltageOffA, record.voltageOffB,
            record.voltageOn};
}

// Every field changed from its default, texts and numbers alike.
SettingsRecord ChangedRecord() {
    SettingsRecord record;
    int counter = 0;
    const auto table = BuildSettingsTable(record);
    for (const SettingBinding& row : table->sections.at(0).rows) {
        ++counter;
        if (row.kind == SettingKind::Text) {
            *row.textTarget = Format("%d.25 \"%s\" \\", counter, row.valueName.c_str());
        } else {
            *row.numberTarget = -counter * 1000;
        }
    }
    return record;
}

SettingsRecord LoadFrom(RegistryStore& store) {
    SettingsRecord record = ChangedRecord();  // the load must not keep any of it
    LoadStationSettings(record, store);
    return record;
}

bool SaveToFile(const std::filesystem::path& file, const SettingsRecord& record) {
    RegistryStore store(file);
    return SaveStationSettings(record, store).Ok();
}

SettingsRecord LoadFile(const std::filesystem::path& file, std::string_view content) {
    WriteBytes(file, content);
    RegistryStore store(file);
    return LoadFrom(store);
}

TEST(SettingsTable, WalksTheRowsNewestFirst) {
    SettingsRecord record;
    const auto table = BuildSettingsTable(record);
    ASSERT_EQ(table->sections.size(), 1u);
    EXPECT_EQ(table->sections[0].KeyPath(), kLocation);
    std::vector<std::string> names;
    int texts = 0;
    for (const SettingBinding& row : table->sections[0].rows) {
        names.push_back(row.valueName);
        texts += row.kind == SettingKind::Text ? 1 : 0;
    }
    const std::vector<std::string> expected{"TTOTestOption",
                                            "BaudRate",
                                            "CommPort",
                                            "DriverModel",
                                            "DriverManufacturer",
                                            "FixtureSize",
                                            "Power",
                                            "Type",
                                            "Model",
                                            "Manufacturer",
                                            "TaskTerminateWaitTime",
                                            "cfgLevelDuration",
                                            "cfgTime7",
                                            "cfgTime6",
                                            "cfgTime5",
                                            "cfgTime4",
                                            "cfgTime3",
                                            "cfgTime2",
                                            "cfgTime1",
                                            "timeToOffSeconds",
                                            "VoltageOn",
                                            "VoltageOffB",
                                            "VoltageOffA",
                                            "VoltageDeltaForOff",
                                            "VoltageDelta",
                                            "ColumnWidth8",
                                            "ColumnWidth7",
                                            "ColumnWidth6",
                                            "ColumnWidth5",
                                            "ColumnWidth4",
                                            "ColumnWidth3",
                                            "ColumnWidth2",
                                            "ColumnWidth1",
                                            "ColumnWidth0",
                                            "DataDirPath",
                                            "TempDirPath",
                                            "LogDirPath",
                                            "ProgramDirPath"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(texts, 16);
}

TEST(SettingsTable, DefaultsAreTheDocumentedOnesAndBindTheRightFields) {
    SettingsRecord record = ChangedRecord();
    ApplyDefaults(*BuildSettingsTable(record));
    ASSERT_EQ(DocumentedDefaults().size(), 38u);
    EXPECT_EQ(BoundValues(record), DocumentedDefaults());
    EXPECT_EQ(BoundValues(SettingsRecord{}), DocumentedDefaults()) << "a new record";
    EXPECT_EQ(record.ColumnWidth[8], 355);
    EXPECT_EQ(record.VoltageOffB, "1.0");
    EXPECT_EQ(record.TTOTestOption, 10);
}

TEST(StationSettings, FirstStartGivesDefaultsAndTheFirstSaveWritesAllValues) {
    TempFolder folder;
    RegistryStore store(folder / "cfg/Kestrune/Orvalt.reg");
    const SettingsRecord loaded = LoadFrom(store);
    EXPECT_EQ(BoundValues(loaded), DocumentedDefaults());
    EXPECT_EQ(Volts(loaded), (std::vector<double>{0.5, 0.5, 1.5, 1.0, 2.0}));

    ASSERT_TRUE(SaveStationSettings(loaded, store).Ok());
    RegKey key;
    ASSERT_TRUE(store.OpenKey(kLocation, key).Ok());
    // Texts without a terminating zero (an empty one is zero bytes), numbers in 4 bytes.
    EXPECT_EQ(StoredValues(store, key), DocumentedDefaults());
    EXPECT_EQ(FolderEntries(folder / "cfg/Kestrune"), std::set<std::string>{"Orvalt.reg"});
}

TEST(StationSettings, EveryFieldComesBackFromTheFile) {
    TempFolder folder;
    const auto file = folder / "Orvalt.reg";
    const SettingsRecord saved = ChangedRecord();
    ASSERT_TRUE(SaveToFile(file, saved));
    RegistryStore store(file);
    SettingsRecord loaded;
    ASSERT_TRUE(LoadStationSettings(loaded, store).Ok());
    EXPECT_EQ(StoredFields(loaded), StoredFields(saved));
    EXPECT_DOUBLE_EQ(loaded.voltageOn, 21.25);
}

TEST(StationSettings, ValuesOfTheWrongTypeOrSizeAreIgnored) {
    TempFolder folder;
    const SettingsRecord loaded =
        LoadFile(folder / "Orvalt.reg", LocationFile("\"cfgTime1\"=\"123\"\r\n"
                                                     "\"cfgTime2\"=hex:01,00,00,00\r\n"
                                                     "\"cfgTime3\"=hex(4):01,00,00\r\n"
                                                     "\"cfgTime4\"=hex(4):01,00,00,00,00\r\n"
                                                     "\"cfgTime5\"=hex(4):\r\n"
                                                     "\"Manufacturer\"=dword:00000001\r\n"
                                                     "\"VoltageOn\"=hex(2):33,2e,30,00\r\n"
                                                     "\"Model\"=hex(7):61,00,00\r\n"
                                                     "\"Type\"=hex:61,62\r\n"
                                                     "\"cfgTime6\"=dword:00000007\r\n"));
    SettingsRecord expected;
    expected.cfgTime6 = 7;  // the one good value is taken
    EXPECT_EQ(StoredFields(loaded), StoredFields(expected));
}

TEST(StationSettings, NumbersLoadAsStoredAndUnreadableOnesKeepTheirDefault) {
    TempFolder folder;
    const SettingsRecord loaded =
        LoadFile(folder / "Orvalt.reg", LocationFile("\"cfgTime1\"=dword:ffffffff\r\n"
                                                     "\"cfgTime2\"=dword:80000000\r\n"
                                                     "\"TTOTestOption\"=dword:00000063\r\n"
                                                     "\"CommPort\"=dword:100000000\r\n"
                                                     "\"BaudRate\"=dword:zz\r\n"));
    EXPECT_EQ(loaded.cfgTime1, -1);
    EXPECT_EQ(loaded.cfgTime2, INT32_MIN);
    EXPECT_EQ(loaded.TTOTestOption, 99);
    EXPECT_EQ(loaded.CommPort, 0);
    EXPECT_EQ(loaded.BaudRate, 115200);
}

struct StoredTextCase {
    std::string stored;  // the REG_SZ bytes of VoltageOn
    std::string text;    // what loads
    double volts;
};

void PrintTo(const StoredTextCase& test, std::ostream* out) {
    *out << test.stored.size() << " bytes \"" << test.stored.substr(0, 20) << "\"";
}

class StoredTextTest : public ::testing::TestWithParam<StoredTextCase> {};

TEST_P(StoredTextTest, LoadsByTheTextRules) {
    TempFolder folder;
    RegistryStore store(folder / "Orvalt.reg");
    RegKey key;
    ASSERT_TRUE(store.CreateKey(kLocation, key).Ok());
    store.SetStringValue(key, "VoltageOn", GetParam().stored);
    ASSERT_TRUE(store.CloseKey(key).Ok());
    const SettingsRecord loaded = LoadFrom(store);
    EXPECT_EQ(loaded.VoltageOn, GetParam().text);
    EXPECT_DOUBLE_EQ(loaded.voltageOn, GetParam().volts);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StoredTextTest,
    ::testing::Values(StoredTextCase{"", "2.0", 2.0},  // emptied: the default, not 0 V
                      StoredTextCase{"3", "3", 3.0}, StoredTextCase{"1.2V", "1.2V", 1.2},
                      StoredTextCase{"  4.5", "  4.5", 4.5}, StoredTextCase{".25", ".25", 0.25},
                      StoredTextCase{"1,5", "1,5", 1.0}, StoredTextCase{"volts", "volts", 0.0},
                      StoredTextCase{std::string("0.7\0junk", 8), "0.7", 0.7},
                      StoredTextCase{std::string(1, '\0'), "", 0.0},
                      StoredTextCase{std::string("5").append(126, '0'),
                                     std::string("5").append(126, '0'), 5e126},
                      StoredTextCase{std::string("5").append(127, '0'), "2.0", 2.0},
                      StoredTextCase{std::string(100000, '7'), "2.0", 2.0}));

TEST(StationSettings, ALongDescriptionIsSavedInFullButNotLoaded) {
    TempFolder folder;
    RegistryStore store(folder / "Orvalt.reg");
    SettingsRecord record;
    record.Model = std::string(127, 'm');
    record.Manufacturer = std::string(200, 'x');
    ASSERT_TRUE(SaveStationSettings(record, store).Ok());
    RegKey key;
    ASSERT_TRUE(store.OpenKey(kLocation, key).Ok());
    EXPECT_EQ(store.QueryValue(key, "Manufacturer")->data, record.Manufacturer);
    const SettingsRecord loaded = LoadFrom(store);
    EXPECT_EQ(loaded.Model, record.Model);
    EXPECT_EQ(loaded.Manufacturer, "");
}

// "61,61,...": `count` bytes of a hex value.
std::string HexList(std::size_t count) {
    std::string list;
    for (std::size_t i = 0; i < count; ++i) {
        list += i == 0 ? "61" : ",61";
    }
    return list;
}

// Files damaged in every way an editor, a disk or a person can damage them.
TEST(StationSettings, DamagedFilesLoadWithDefaultsWhereAValueIsUnusable) {
    TempFolder folder;
    const auto file = folder / "Orvalt.reg";
    const SettingsRecord defaults;
    struct Case {
        std::string name;
        std::string content;
    };
    const std::vector<Case> cases{
        {"empty", ""},
        {"binary",
         "\x7f"
         "ELF\x02\x01\x01\0\0\0[\0\"\xff\xfe"s +
             std::string(5000, '\x90')},
        {"nul bytes", LocationFile("\"Model\0\"=\"x\"\r\n\0\0\"Type\"=\"\0\"\r\n\"Power\"=\"\0"s)},
        {"no equals", LocationFile("\"Model\" \"x\"\r\nModel\r\n=\r\n")},
        {"missing quotes", LocationFile("Model=\"x\"\r\n\"Type=\"y\"\r\n\"Power\"=z\"\r\n")},
        {"header only", "REGEDIT4"},
        {"key never closed",
         "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Location\r\n\"Model\"=\"x\""},
        {"huge texts", LocationFile("\"Model\"=\"" + std::string(100000, 'm') +
                                    "\"\r\n\"Type\"=hex(1):" + HexList(100000) + "\r\n")},
    };
    for (const Case& test : cases) {
        const SettingsRecord loaded = LoadFile(file, test.content);
        EXPECT_EQ(StoredFields(loaded), StoredFields(defaults)) << test.name;
    }
}

// A file cut at any byte loads each text as saved or as its default, never as
// a piece of it.
TEST(StationSettings, AFileCutAnywhereLoadsWholeTextsOrDefaults) {
    TempFolder folder;
    const auto full = folder / "full.reg";
    const SettingsRecord saved = ChangedRecord();
    ASSERT_TRUE(SaveToFile(full, saved));
    const std::string content = ReadBytes(full);
    const std::vector<std::string> savedFields = StoredFields(saved);
    const std::vector<std::string> defaultFields = StoredFields(SettingsRecord{});
    for (std::size_t cut = 0; cut < content.size(); cut += 7) {
        const std::vector<std::string> fields =
            StoredFields(LoadFile(folder / "cut.reg", content.substr(0, cut)));
        for (std::size_t i = 0; i < fields.size(); ++i) {
            // Every changed text holds a quote; no number does.
            const bool isText = savedFields[i].find('"') != std::string::npos;
            EXPECT_TRUE(!isText || fields[i] == savedFields[i] || fields[i] == defaultFields[i])
                << "cut at " << cut << ": " << fields[i];
        }
    }
}

TEST(StationSettings, AHugeFileLoads) {
    TempFolder folder;
    std::string content = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n";
    while (content.size() < (20u << 20)) {
        content += Format("\"Value%zu\"=dword:%08zx\r\n\"Text%zu\"=\"%s\"\r\n", content.size(),
                          content.size(), content.size(), "some text that fills the file");
    }
    content += LocationFile("\"cfgTime1\"=dword:00000021\r\n\"Model\"=\"found\"\r\n");
    const SettingsRecord loaded = LoadFile(folder / "Orvalt.reg", content);
    EXPECT_EQ(loaded.cfgTime1, 0x21);
    EXPECT_EQ(loaded.Model, "found");
}

TEST(StationSettings, AFileThatCannotBeReadGivesDefaultsAndIsNotOverwritten) {
    TempFolder folder;
    const auto file = folder / "Orvalt.reg";
    WriteBytes(file / "not a file", "kept");
    RegistryStore store(file);
    SettingsRecord loaded = ChangedRecord();
    EXPECT_EQ(LoadStationSettings(loaded, store).code, ERROR_CANTREAD);
    EXPECT_EQ(StoredFields(loaded), StoredFields(SettingsRecord{}));
    const RegStatus saved = SaveStationSettings(loaded, store);
    EXPECT_NE(saved.message.find(file.string()), std::string::npos) << saved.message;
    EXPECT_EQ(ReadBytes(file / "not a file"), "kept");
}

TEST(StationSettings, ASaveThatCannotWriteReportsTheFileAndKeepsTheOldOne) {
    TempFolder folder;
    const auto locked = folder / "locked";
    const auto file = locked / "Orvalt.reg";
    ASSERT_TRUE(SaveToFile(file, SettingsRecord{}));
    const std::string old = ReadBytes(file);
    std::filesystem::permissions(file, std::filesystem::perms(0644));
    std::filesystem::permissions(locked, std::filesystem::perms(0555));
    const std::string outcome = test::RunInChild([&] {
        test::DropRoot();
        RegistryStore store(file);
        const RegStatus saved = SaveStationSettings(ChangedRecord(), store);
        std::string error;
        const int result =
            SaveSettings(*BuildSettingsTable(*std::make_unique<SettingsRecord>()), store, &error);
        const bool named = saved.message.find(file.string()) != std::string::npos &&
                           error.find(file.string()) != std::string::npos;
        return !saved.Ok() && result == -1 && named ? std::string() : saved.message + "|" + error;
    });
    EXPECT_EQ(outcome, "");
    EXPECT_EQ(ReadBytes(file), old);
    EXPECT_EQ(FolderEntries(locked), std::set<std::string>{"Orvalt.reg"});
}

}  // namespace
}  // namespace orvalt
