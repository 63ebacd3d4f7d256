#include "platform/FileLock.h"

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace orvalt {
namespace {

using namespace std::chrono_literals;

TEST(FileLock, OneHolderAtATimeAndAMissingFolderIsNoContention) {
    test::TempFolder folder;
    const std::filesystem::path file = folder.Path() / "shared.lock";
    {
        const FileLock first(file, 0ms);
        ASSERT_TRUE(first.Held()) << first.Error();
        const FileLock second(file, 50ms);
        EXPECT_FALSE(second.Held());
        EXPECT_TRUE(second.Contended());
        EXPECT_NE(second.Error().find("shared.lock"), std::string::npos) << second.Error();
    }
    EXPECT_TRUE(FileLock(file, 0ms).Held());  // the first holder's lock went with it

    const FileLock nowhere(folder.Path() / "no" / "such.lock", 0ms);
    EXPECT_FALSE(nowhere.Held());
    EXPECT_FALSE(nowhere.Contended());
    EXPECT_NE(nowhere.Error().find("such.lock"), std::string::npos);
}

}  // namespace
}  // namespace orvalt
