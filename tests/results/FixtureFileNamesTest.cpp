// The default result and SAV names of a fixture.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "config/FixtureName.h"
#include "results/FixtureFileNames.h"
#include "results/TestDataExport.h"

namespace orvalt {
namespace {

namespace fs = std::filesystem;

TEST(FixtureFileNames, WithoutAFixtureTheNamesAreTheStationsOwn) {
    for (const auto& [manufacturer, model] :
         {std::pair{"Acme", "X1"}, {"A/B", "C:D"}, {"", ""}, {"a.b", "c"}}) {
        EXPECT_EQ(FixtureTestDataName("", manufacturer, model),
                  DefaultTestDataName(manufacturer, model));
    }
    EXPECT_EQ(DefaultDiagSaveName(""), "");
}

TEST(FixtureFileNames, AFixturePutsItsNameBeforeTheExtension) {
    const std::string name = FixtureTestDataName("Bay 2", "Acme", "X1");
    EXPECT_EQ(name, "Acme-X1-Bay 2.csv");
    EXPECT_EQ(SumFilePath(fs::path("/d") / name), fs::path("/d/Acme-X1-Bay 2_Sum.csv"));
    EXPECT_EQ(FixtureTestDataName("A/B:C", "x.y", "z"), "x.y-z-A_B_C.csv");
    EXPECT_EQ(DefaultDiagSaveName("Bay 2"), "Diag-Bay 2.txt");
    EXPECT_EQ(DefaultDiagSaveName("v1.2"), "Diag-v1.2.txt");
}

// Every name a fixture may have gives a result name that stays one file inside
// the data folder, and fixtures named apart (as a file name can tell them) never
// propose one file.
TEST(FixtureFileNames, EveryFixtureNameStaysInsideTheFolderAndApartFromTheOthers) {
    std::set<std::string> dataNames{FixtureTestDataName("", "Acme", "X1")};
    std::set<std::string> diagNames{DefaultDiagSaveName("")};
    int fixtures = 0;
    for (int a = 1; a < 256; ++a) {
        for (const char b : {'\0', 'q', '.', ' '}) {
            std::string fixture(1, static_cast<char>(a));
            if (b != '\0') {
                fixture += b;
            }
            if (!FixtureNameError(fixture).empty() || fixture.find_first_of("<>:/|?*") == 0) {
                continue;
            }
            ++fixtures;
            const std::string data = FixtureTestDataName(fixture, "Acme", "X1");
            const std::string diag = DefaultDiagSaveName(fixture);
            for (const std::string& name : {data, diag}) {
                EXPECT_EQ(fs::path("/d/" + name).parent_path(), fs::path("/d")) << fixture;
            }
            EXPECT_TRUE(dataNames.insert(data).second) << fixture;
            EXPECT_TRUE(diagNames.insert(diag).second) << fixture;
        }
    }
    EXPECT_GT(fixtures, 800);
}

}  // namespace
}  // namespace orvalt
