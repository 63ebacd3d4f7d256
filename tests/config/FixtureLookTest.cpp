// What tells fixtures' windows apart: each fixture's accent colour and the
// place its window had, kept under that fixture's own key and surviving a save
// of its 38 values.

#include <gtest/gtest.h>

#include "config/FixtureAccent.h"
#include "config/SettingsTable.h"
#include "config/WindowPlaceSetting.h"
#include "support/SettingsFiles.h"

namespace orvalt {
namespace {

using testing::TempFolder;

TEST(FixtureLook, AnAccentIsTheStoredColourElseTheNamesOwn) {
    EXPECT_EQ(ParseAccent("#1A2b3C"), std::optional<std::uint32_t>(0x1a2b3c));
    for (const char* bad : {"", "#12345", "#1234567", "123456", "#12345g", "#-12345"}) {
        EXPECT_EQ(ParseAccent(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(DefaultAccent("Bay 1"), DefaultAccent("Bay 1"));
    EXPECT_NE(DefaultAccent("Bay 1"), DefaultAccent("Bay 2"));

    TempFolder folder;
    const auto file = folder / "Orvalt.reg";
    {
        RegistryStore store(file);
        EXPECT_EQ(LoadFixtureAccent(store, "Bay 1"), DefaultAccent("Bay 1"));
        ASSERT_TRUE(SaveFixtureAccent(store, "Bay 1", 0x00ff7f).Ok());
        // The fixture's 38 values saved after it leave it in place.
        SettingsRecord record;
        ASSERT_TRUE(SaveStationSettings(record, store, "Bay 1").Ok());
    }
    RegistryStore store(file);
    EXPECT_EQ(LoadFixtureAccent(store, "Bay 1"), 0x00ff7fu);
    EXPECT_EQ(LoadFixtureAccent(store, "Bay 2"), DefaultAccent("Bay 2"));
    RegKey key;
    ASSERT_TRUE(store.OpenKey("Software\\Kestrune\\Orvalt\\Fixtures\\Bay 1", key).Ok());
    ASSERT_TRUE(store.SetStringValue(key, kAccentColourValue, "green").Ok());
    ASSERT_TRUE(store.CloseKey(key).Ok());
    EXPECT_EQ(LoadFixtureAccent(store, "Bay 1"), DefaultAccent("Bay 1"));
}

TEST(FixtureLook, EachFixturesWindowKeepsItsOwnPlace) {
    TempFolder folder;
    const auto file = folder / "Orvalt.reg";
    {
        RegistryStore store(file);
        EXPECT_FALSE(LoadWindowPlace(store, "Bay 1"));
        ASSERT_TRUE(SaveWindowPlace(store, "Bay 1", {-1200, 40, 960, 1000}).Ok());
        ASSERT_TRUE(SaveWindowPlace(store, "Bay 2", {960, 0, 900, 1040}).Ok());
        ASSERT_TRUE(SaveWindowPlace(store, "", {10, 20, 1366, 700}).Ok());
    }
    RegistryStore store(file);
    const auto one = LoadWindowPlace(store, "Bay 1");
    const auto two = LoadWindowPlace(store, "Bay 2");
    const auto unnamed = LoadWindowPlace(store, "");
    ASSERT_TRUE(one && two && unnamed);
    EXPECT_EQ(one->x, -1200);
    EXPECT_EQ(one->width, 960);
    EXPECT_EQ(two->x, 960);
    EXPECT_EQ(two->height, 1040);
    EXPECT_EQ(unnamed->width, 1366);
    EXPECT_EQ(WindowPlaceKey("Bay 2"), "Software\\Kestrune\\Orvalt\\Fixtures\\Bay 2\\Window");
    // A place with a value missing is no place.
    RegKey key;
    ASSERT_TRUE(store.OpenKey(WindowPlaceKey("Bay 2"), key).Ok());
    ASSERT_TRUE(store.SetStringValue(key, "Height", "tall").Ok());
    ASSERT_TRUE(store.CloseKey(key).Ok());
    EXPECT_FALSE(LoadWindowPlace(store, "Bay 2"));
}

}  // namespace
}  // namespace orvalt
