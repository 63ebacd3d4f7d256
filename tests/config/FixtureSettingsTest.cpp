// Named fixtures: which names are taken, and where each fixture's values and
// its U3 serial number live in the settings file.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "config/FixtureName.h"
#include "config/RegText.h"
#include "config/SettingsTable.h"
#include "config/WindowPlaceSetting.h"
#include "support/SettingsFiles.h"

namespace orvalt {
namespace {

using testing::ReadBytes;
using testing::TempFolder;

constexpr std::string_view kLocation = "Software\\Kestrune\\Orvalt\\Location";
constexpr std::string_view kDevice = "Software\\Kestrune\\Orvalt\\Device";

std::string FixtureKey(std::string_view name) {
    return "Software\\Kestrune\\Orvalt\\Fixtures\\" + std::string(name);
}

RegDocument SavedDocument(const std::filesystem::path& file) {
    return ParseRegText(ReadBytes(file));
}

std::size_t ValueCount(const RegDocument& document, std::string_view key) {
    const RegKeyData* data = document.FindKey("HKEY_CURRENT_USER\\" + std::string(key));
    return data == nullptr ? 0 : data->Entries().size();
}

// A record whose every field differs from the defaults and from `tag`'s sibling.
SettingsRecord TaggedRecord(const std::string& tag, std::int32_t number) {
    SettingsRecord record;
    const auto table = BuildFixtureSettingsTable(record, "any");
    for (const SettingBinding& row : table->sections.at(0).rows) {
        if (row.kind == SettingKind::Text) {
            *row.textTarget = tag + row.valueName;
        } else {
            *row.numberTarget = number;
        }
    }
    return record;
}

std::vector<std::string> Fields(SettingsRecord record) {
    std::vector<std::string> fields;
    const auto table = BuildFixtureSettingsTable(record, "any");
    for (const SettingBinding& row : table->sections.at(0).rows) {
        fields.push_back(row.kind == SettingKind::Text ? *row.textTarget
                                                       : std::to_string(*row.numberTarget));
    }
    return fields;
}

TEST(FixtureName, TakesWhatAKeyPartCanHoldAndRefusesTheRest) {
    for (const std::string name : {"Bay 1", "A/B:C*", "x", "[weird]", "\xE9tage", "-"}) {
        EXPECT_EQ(FixtureNameError(name), "") << name;
    }
    EXPECT_EQ(FixtureNameError(std::string(kMaxFixtureNameLength, 'n')), "");
    EXPECT_NE(FixtureNameError(""), "");
    EXPECT_NE(FixtureNameError(std::string(kMaxFixtureNameLength + 1, 'n')), "");
    EXPECT_NE(FixtureNameError("Bay\\1"), "");
    EXPECT_NE(FixtureNameError("\\"), "");
    for (int c = 0; c < 0x20; ++c) {
        EXPECT_NE(FixtureNameError("Bay" + std::string(1, static_cast<char>(c)) + "1"), "") << c;
    }
    EXPECT_NE(FixtureNameError("Bay\x7F"), "");
}

TEST(FixtureSettings, EachFixtureKeepsItsOwnValuesAndLeavesLocationAlone) {
    TempFolder folder;
    RegistryStore store(folder.Path() / "Orvalt.reg");
    const SettingsRecord bay1 = TaggedRecord("one-", 111);
    const SettingsRecord bay2 = TaggedRecord("two-", 222);
    ASSERT_TRUE(SaveStationSettings(bay1, store, "Bay 1").Ok());
    ASSERT_TRUE(SaveStationSettings(bay2, store, "Bay 2").Ok());

    const RegDocument saved = SavedDocument((folder.Path() / "Orvalt.reg"));
    EXPECT_EQ(ValueCount(saved, FixtureKey("Bay 1")), 39u);
    EXPECT_EQ(ValueCount(saved, FixtureKey("Bay 2")), 39u);
    EXPECT_EQ(saved.FindKey("HKEY_CURRENT_USER\\" + std::string(kLocation)), nullptr);

    SettingsRecord loaded;
    RegistryStore reread(folder.Path() / "Orvalt.reg");
    ASSERT_TRUE(LoadStationSettings(loaded, reread, "Bay 2").Ok());
    EXPECT_EQ(Fields(loaded), Fields(bay2));
    EXPECT_EQ(loaded.U3SerialNumber, "two-U3SerialNumber");
    ASSERT_TRUE(LoadStationSettings(loaded, reread, "Bay 1").Ok());
    EXPECT_EQ(Fields(loaded), Fields(bay1));
    ASSERT_TRUE(LoadStationSettings(loaded, reread).Ok());
    EXPECT_EQ(Fields(loaded), Fields(SettingsRecord{}));
}

TEST(FixtureSettings, TheStationWithoutANameWritesTheFileAsBefore) {
    TempFolder folder;
    SettingsRecord record = TaggedRecord("x", 7);
    record.U3SerialNumber.clear();
    RegistryStore before(folder.Path() / "before.reg");
    ASSERT_EQ(SaveSettings(*BuildSettingsTable(record), before), 0);
    RegistryStore now(folder.Path() / "now.reg");
    ASSERT_TRUE(SaveStationSettings(record, now).Ok());
    EXPECT_EQ(ReadBytes((folder.Path() / "now.reg")), ReadBytes((folder.Path() / "before.reg")));

    record.U3SerialNumber = "320012345";
    ASSERT_TRUE(SaveStationSettings(record, now).Ok());
    const RegDocument saved = SavedDocument((folder.Path() / "now.reg"));
    EXPECT_EQ(ValueCount(saved, kLocation), 38u);
    EXPECT_EQ(ValueCount(saved, kDevice), 1u);
    SettingsRecord loaded;
    RegistryStore reread((folder.Path() / "now.reg"));
    ASSERT_TRUE(LoadStationSettings(loaded, reread).Ok());
    EXPECT_EQ(loaded.U3SerialNumber, "320012345");
    EXPECT_EQ(loaded.Manufacturer, "xManufacturer");
}

TEST(FixtureSettings, AFirstStartOfAFixtureHasTheDefaultsAndNoSerialNumber) {
    TempFolder folder;
    RegistryStore store(folder.Path() / "Orvalt.reg");
    ASSERT_TRUE(SaveStationSettings(TaggedRecord("station-", 5), store).Ok());
    SettingsRecord loaded = TaggedRecord("stale-", 9);
    ASSERT_TRUE(LoadStationSettings(loaded, store, "New").Ok());
    EXPECT_EQ(Fields(loaded), Fields(SettingsRecord{}));
    EXPECT_DOUBLE_EQ(loaded.voltageOn, 2.0);
}

TEST(FixtureSettings, ABadNameNeitherLoadsNorWrites) {
    TempFolder folder;
    RegistryStore store(folder.Path() / "Orvalt.reg");
    SettingsRecord record;
    const RegStatus saved = SaveStationSettings(record, store, "a\\b");
    EXPECT_EQ(saved.code, ERROR_INVALID_PARAMETER);
    EXPECT_NE(saved.message.find("backslash"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists((folder.Path() / "Orvalt.reg")));
    EXPECT_EQ(LoadStationSettings(record, store, std::string(101, 'n')).code,
              ERROR_INVALID_PARAMETER);
}

// Fixtures in processes of their own save into one file at the same moments,
// and a window saves its place at close meanwhile; each save, of the settings
// or of one value under a key of its own, replaces the file whole, so without
// the lock one save would undo another's.
TEST(FixtureSettings, SavesAtOnceKeepEveryFixturesLastValues) {
    TempFolder folder;
    constexpr int kFixtures = 4;
    constexpr int kSaves = 25;
    const auto fixtureName = [](int f) { return "Bay " + std::to_string(f); };
    {
        std::vector<std::jthread> savers;
        for (int f = 0; f < kFixtures; ++f) {
            savers.emplace_back([&folder, fixture = fixtureName(f)] {
                RegistryStore store(folder.Path() / "Orvalt.reg");
                SettingsRecord record;
                for (int save = 0; save < kSaves; ++save) {
                    record.Manufacturer = "maker " + std::to_string(save);
                    EXPECT_TRUE(SaveStationSettings(record, store, fixture).Ok());
                }
            });
            savers.emplace_back([&folder, fixture = fixtureName(f)] {
                RegistryStore store(folder.Path() / "Orvalt.reg");
                for (int save = 0; save < kSaves; ++save) {
                    EXPECT_TRUE(
                        SaveWindowPlace(store, fixture, WindowPlace{save, save, 800, 600}).Ok());
                }
            });
        }
    }
    for (int f = 0; f < kFixtures; ++f) {
        RegistryStore store(folder.Path() / "Orvalt.reg");
        SettingsRecord loaded;
        ASSERT_TRUE(LoadStationSettings(loaded, store, fixtureName(f)).Ok());
        EXPECT_EQ(loaded.Manufacturer, "maker " + std::to_string(kSaves - 1)) << fixtureName(f);
        const std::optional<WindowPlace> place = LoadWindowPlace(store, fixtureName(f));
        ASSERT_TRUE(place.has_value()) << fixtureName(f);
        EXPECT_EQ(place->x, kSaves - 1) << fixtureName(f);
    }
}

}  // namespace
}  // namespace orvalt
