// The settings as a run keeps them: every registry value by its name.

#include <gtest/gtest.h>

#include <string>

#include "recording/SettingsPairs.h"

namespace orvalt::test {
namespace {

TEST(SettingsPairsTest, KeepsAllThirtyEightValuesByTheirRegistryNames) {
    SettingsRecord settings = DefaultSettings();
    settings.cfgTime1 = -7;
    const auto pairs = SettingsPairs(settings);
    EXPECT_EQ(pairs.size(), 38u);
    const auto value = [&](const std::string& name) {
        for (const auto& [key, text] : pairs) {
            if (key == name) {
                return text;
            }
        }
        return std::string("missing");
    };
    EXPECT_EQ(value("VoltageOn"), "2.0");
    EXPECT_EQ(value("cfgTime1"), "-7");
    EXPECT_EQ(value("TaskTerminateWaitTime"), "5000");
}

}  // namespace
}  // namespace orvalt::test
