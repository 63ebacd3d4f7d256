// The remembered limits file: its own key beside Location, read back by a
// later start, and never mistaken for something else.

#include "config/LimitsSetting.h"

#include <gtest/gtest.h>

#include "config/SettingsTable.h"
#include "support/SettingsFiles.h"

namespace orvalt {
namespace {

using testing::TempFolder;

TEST(LimitsSetting, APathSurvivesARestartUnderItsOwnKey) {
    TempFolder folder;
    const auto file = folder / "Orvalt.reg";
    // A path longer than any Location text may be, with a comma and blanks.
    const std::filesystem::path limits =
        "/srv/line 3/limits, product A/" + std::string(200, 'x') + "/limits.csv";
    {
        SettingsRecord record;
        RegistryStore store(file);
        ASSERT_TRUE(SaveStationSettings(record, store).Ok());
        ASSERT_TRUE(SaveLimitsPath(store, limits).Ok());
    }
    RegistryStore store(file);
    EXPECT_EQ(LoadLimitsPath(store), limits);
    RegKey location;
    ASSERT_TRUE(store.OpenKey("Software\\Kestrune\\Orvalt\\Location", location).Ok());
    EXPECT_EQ(store.ValueNames(location).size(), 38u);
    EXPECT_EQ(store.QueryValue(location, "File").Error(), ERROR_FILE_NOT_FOUND);
    store.CloseKey(location);
    RegKey own;
    ASSERT_TRUE(store.OpenKey("Software\\Kestrune\\Orvalt\\Limits", own).Ok());
    EXPECT_EQ(store.ValueNames(own), std::vector<std::string>{"File"});
    store.CloseKey(own);
}

TEST(LimitsSetting, NothingStoredOrTheWrongKindMeansNoLimits) {
    TempFolder folder;
    const auto file = folder / "Orvalt.reg";
    RegistryStore store(file);
    EXPECT_TRUE(LoadLimitsPath(store).empty());
    RegKey key;
    ASSERT_TRUE(store.CreateKey(kLimitsKey, key).Ok());
    store.SetDwordValue(key, "File", 7);
    ASSERT_TRUE(store.CloseKey(key).Ok());
    EXPECT_TRUE(LoadLimitsPath(store).empty());
    ASSERT_TRUE(SaveLimitsPath(store, "/a/b.csv").Ok());
    EXPECT_EQ(LoadLimitsPath(store), "/a/b.csv");
    ASSERT_TRUE(SaveLimitsPath(store, "").Ok());
    EXPECT_TRUE(LoadLimitsPath(store).empty());
}

TEST(LimitsSetting, AFileThatCannotBeWrittenIsReported) {
    TempFolder folder;
    testing::WriteBytes(folder / "blocker", "x");
    RegistryStore store(folder / "blocker" / "Orvalt.reg");
    const RegStatus status = SaveLimitsPath(store, "/a/b.csv");
    EXPECT_FALSE(status.Ok());
    EXPECT_FALSE(status.message.empty());
}

}  // namespace
}  // namespace orvalt
