// Frozen drift baselines: their own key per model beside Location, read back
// by a later start exactly, whatever the model's name holds, and nothing
// taken for a baseline that is not one.

#include "spc/BaselineSetting.h"

#include <gtest/gtest.h>

#include "config/SettingsTable.h"
#include "support/SettingsFiles.h"

namespace orvalt {
namespace {

using testing::TempFolder;

TEST(BaselineSetting, EachSeriesSurvivesARestartWhateverTheModelIsCalled) {
    TempFolder folder;
    const auto file = folder / "Orvalt.reg";
    const std::string odd = "Lumo \\ 40W [EU] 100% \xC3\xA9t\xC3\xA9\t\"x\"";
    {
        SettingsRecord record;
        RegistryStore store(file);
        ASSERT_TRUE(SaveStationSettings(record, store).Ok());
        ASSERT_TRUE(
            FreezeBaselines(store, odd,
                            {{1, "TimeToOffA", {0.1 + 0.2, 0.0123, 25, "2026-12-08T10:00Z"}},
                             {3, "TimeToOffA", {1.25, 0.01, 40, "2026-12-08T10:00Z"}}})
                .Ok());
        ASSERT_TRUE(FreezeBaselines(store, "X100", {{0, "V1.c1", {2.6, 0.004, 30, "t"}}}).Ok());
        // Freezing one series again keeps the others.
        ASSERT_TRUE(
            FreezeBaselines(store, odd, {{3, "TimeToOffA", {1.5, 0.02, 26, "later"}}}).Ok());
    }
    RegistryStore store(file);
    const auto second = FrozenBaselineOf(store, odd, 1, "TimeToOffA");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->centre, 0.1 + 0.2);  // to the bit
    EXPECT_EQ(second->sigma, 0.0123);
    EXPECT_EQ(second->units, 25u);
    EXPECT_EQ(second->frozenAt, "2026-12-08T10:00Z");
    EXPECT_EQ(FrozenBaselineOf(store, odd, 3, "TimeToOffA")->centre, 1.5);
    EXPECT_FALSE(FrozenBaselineOf(store, odd, 0, "TimeToOffA"));  // another test
    EXPECT_FALSE(FrozenBaselineOf(store, "X100", 1, "TimeToOffA"));
    EXPECT_EQ(
        BaselineKeyOf(odd),
        "Software\\Kestrune\\Orvalt\\Drift\\Lumo%20%5C%2040W%20%5BEU%5D%20100%25%20%C3%A9t%C3%A9%"
        "09\"x\"");

    RegKey location;
    ASSERT_TRUE(store.OpenKey("Software\\Kestrune\\Orvalt\\Location", location).Ok());
    EXPECT_EQ(store.ValueNames(location).size(), 38u);
    store.CloseKey(location);

    EXPECT_EQ(*ClearFrozenBaselines(store, odd), 2u);
    EXPECT_FALSE(FrozenBaselineOf(store, odd, 1, "TimeToOffA"));
    EXPECT_TRUE(FrozenBaselineOf(store, "X100", 0, "V1.c1"));  // another model's stay
    EXPECT_EQ(*ClearFrozenBaselines(store, "Z9"), 0u);
    // Runs recorded without a model are a model too, under a key of its own.
    ASSERT_TRUE(FreezeBaselines(store, "", {{0, "V1.c1", {2.5, 0.01, 25, "t"}}}).Ok());
    EXPECT_EQ(FrozenBaselineOf(store, "", 0, "V1.c1")->centre, 2.5);
    EXPECT_EQ(FrozenBaselineOf(store, "X100", 0, "V1.c1")->centre, 2.6);
}

TEST(BaselineSetting, AValueThatIsNoBaselineIsNone) {
    TempFolder folder;
    RegistryStore store(folder / "Orvalt.reg");
    ASSERT_TRUE(FreezeBaselines(store, "X100", {{0, "TimeToOn", {3.1, 0.01, 25, "t"}}}).Ok());
    RegKey key;
    ASSERT_TRUE(store.CreateKey(BaselineKeyOf("X100"), key).Ok());
    for (const char* text : {"3.1, 0.01", "3.1, 0, 25, t", "3.1, 0.01, 0, t", "3,1, 0.01, 25, t",
                             "x, 0.01, 25, t", "3.1, -0.01, 25, t", ""}) {
        ASSERT_TRUE(store.SetStringValue(key, "1/TimeToOn", text).Ok());
        EXPECT_FALSE(FrozenBaselineOf(store, "X100", 0, "TimeToOn")) << text;
    }
    ASSERT_TRUE(store.SetDwordValue(key, "1/TimeToOn", 3).Ok());
    EXPECT_FALSE(FrozenBaselineOf(store, "X100", 0, "TimeToOn"));
    ASSERT_TRUE(store.SetStringValue(key, "1/TimeToOn", "3.1, 0.01, 25, t").Ok());
    EXPECT_TRUE(FrozenBaselineOf(store, "X100", 0, "TimeToOn"));
    store.CloseKey(key);
}

}  // namespace
}  // namespace orvalt
