// Which limits are in force: a refused file changes nothing, a good one
// replaces them and is remembered for the next start.

#include "verdict/LimitsInUse.h"

#include <gtest/gtest.h>

#include "config/LimitsSetting.h"
#include "support/TempFolder.h"

namespace orvalt {
namespace {

using test::TempFolder;
using test::WriteBytes;

TEST(LimitsInUse, ARefusedFileKeepsTheLimitsInForceAndTheRememberedFile) {
    TempFolder folder;
    RegistryStore store(folder / "Orvalt.reg");
    WriteBytes(folder / "good.csv", "measurement,min,max\r\nV4,,4.50\r\n");
    WriteBytes(folder / "bad.csv", "measurement,min,max\r\nV4,,4.50\r\nV5,1,2\r\n");
    LimitsInUse limits;
    EXPECT_EQ(limits.Current(), nullptr);
    ASSERT_EQ(limits.Load(folder / "good.csv", store), "");
    ASSERT_NE(limits.Current(), nullptr);
    EXPECT_EQ(limits.Current()->rows.at(0).name, "V4");

    EXPECT_EQ(limits.Load(folder / "bad.csv", store), "Line 3: unknown measurement \"V5\"");
    ASSERT_NE(limits.Current(), nullptr);
    EXPECT_EQ(limits.Current()->rows.size(), 1u);
    EXPECT_EQ(limits.File(), folder / "good.csv");
    EXPECT_EQ(LoadLimitsPath(store), folder / "good.csv");
}

TEST(LimitsInUse, TheNextStartRestoresTheRememberedFile) {
    TempFolder folder;
    WriteBytes(folder / "good.csv", "measurement,min,max\nCT,,12\n");
    {
        RegistryStore store(folder / "Orvalt.reg");
        LimitsInUse limits;
        ASSERT_EQ(limits.Load(folder / "good.csv", store), "");
    }
    RegistryStore store(folder / "Orvalt.reg");
    LimitsInUse restored;
    EXPECT_EQ(restored.Restore(store), "");
    ASSERT_NE(restored.Current(), nullptr);
    EXPECT_EQ(restored.Current()->rows.at(0).name, "CT");

    // The file went bad meanwhile: no limits, and the reason.
    WriteBytes(folder / "good.csv", "measurement,min\n");
    LimitsInUse spoiled;
    EXPECT_EQ(spoiled.Restore(store), "Line 1: the first line must be measurement,min,max");
    EXPECT_EQ(spoiled.Current(), nullptr);

    RegistryStore empty(folder / "none.reg");
    LimitsInUse none;
    EXPECT_EQ(none.Restore(empty), "");
    EXPECT_EQ(none.Current(), nullptr);
}

TEST(LimitsInUse, LimitsThatCannotBeRememberedAreInForceAllTheSame) {
    TempFolder folder;
    WriteBytes(folder / "blocker", "x");
    WriteBytes(folder / "good.csv", "measurement,min,max\nCT,,12\n");
    RegistryStore store(folder / "blocker" / "Orvalt.reg");
    LimitsInUse limits;
    std::string rememberError;
    EXPECT_EQ(limits.Load(folder / "good.csv", store, &rememberError), "");
    EXPECT_NE(limits.Current(), nullptr);
    EXPECT_FALSE(rememberError.empty());
}

}  // namespace
}  // namespace orvalt
