#include "config/TestPlanFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "support/TempFolder.h"

namespace orvalt {
namespace {

const std::string kHeaders = "any header\nany header\n";

struct Stored {
    std::int32_t P1, P2, P3, P4, P5, P6;
};

void ExpectEntry(const TestPlanEntry& entry, const Stored& want) {
    EXPECT_EQ(entry.P1, want.P1);
    EXPECT_EQ(entry.P2, want.P2);
    EXPECT_EQ(entry.P3, want.P3);
    EXPECT_EQ(entry.P4, want.P4);
    EXPECT_EQ(entry.P5, want.P5);
    EXPECT_EQ(entry.P6, want.P6);
}

TestRowTexts Row(std::string test, std::string p1, std::string p2, std::string p3, std::string p4,
                 std::string p5 = "", std::string p6 = "") {
    return TestRowTexts{test, p1, p2, p3, p4, p5, p6, "", ""};
}

TEST(TestPlanFile, LoadsTheWorkedExample) {
    const Result<LoadedPlan> result =
        ParseTestPlan(kHeaders + "A,1.5,2,0.25,3\nB,0,5,5,1.2,4500,3\n\nC,20,20,2,3,6\n");
    ASSERT_TRUE(result.Ok()) << result.Error();
    ASSERT_EQ(result->plan.entries.size(), 3u);
    ExpectEntry(result->plan.entries[0], {1500, 2000, 250, 3000, 0, 0});
    ExpectEntry(result->plan.entries[1], {0, 5000, 5000, 1200, 4500, 3000});
    ExpectEntry(result->plan.entries[2], {20000, 20000, 2000, 3000, 6, 0});
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(result->plan.entries[i].index, static_cast<std::int32_t>(i));
    }
    ASSERT_EQ(result->rows.size(), 3u);
    EXPECT_EQ(result->rows[0], Row("1", "1.50", "2.00", "0.25", "3.00"));
    EXPECT_EQ(result->rows[1], Row("2", "0.00", "5.00", "5.00", "1.20", "4500", "3.00"));
    EXPECT_EQ(result->rows[2], Row("4", "20.00", "20.00", "2.00", "3.00", "6", "0.00"));
}

struct LineCase {
    const char* line;
    Stored stored;
    const char* p1Text;
    const char* p5Text;
    const char* p6Text;
};

class OneTestLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(OneTestLine, StoresAndShowsItsValues) {
    const LineCase& c = GetParam();
    const Result<LoadedPlan> result = ParseTestPlan(kHeaders + c.line);
    ASSERT_TRUE(result.Ok()) << result.Error();
    ASSERT_EQ(result->plan.entries.size(), 1u);
    ExpectEntry(result->plan.entries[0], c.stored);
    EXPECT_EQ(result->rows[0][1], c.p1Text);
    EXPECT_EQ(result->rows[0][5], c.p5Text);
    EXPECT_EQ(result->rows[0][6], c.p6Text);
    EXPECT_EQ(result->rows[0][7], "");
    EXPECT_EQ(result->rows[0][8], "");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, OneTestLine,
    ::testing::Values(
        // Truncation, not rounding, of the scaled value.
        LineCase{"A,1.005,2.3,0,0", {1004, 2300, 0, 0, 0, 0}, "1.00", "", ""},
        LineCase{"A,-1.5,-0.0004,0,0", {-1500, 0, 0, 0, 0, 0}, "-1.50", "", ""},
        // Column 6 decides on the number before truncation.
        LineCase{"A,1,2,3,4,0.5", {1000, 2000, 3000, 4000, 0, 0}, "1.00", "0", "0.00"},
        LineCase{"A,1,2,3,4,0,3", {1000, 2000, 3000, 4000, 0, 3000}, "1.00", "", ""},
        LineCase{"A,1,2,3,4,-7.9,2", {1000, 2000, 3000, 4000, -7, 2000}, "1.00", "-7", "2.00"},
        // Nothing after the comma that ends column 5: no optional columns.
        LineCase{"A,1,2,3,4,", {1000, 2000, 3000, 4000, 0, 0}, "1.00", "", ""},
        LineCase{"A,1,2,3,4,,5", {1000, 2000, 3000, 4000, 0, 5000}, "1.00", "", ""},
        LineCase{"X,1,2", {1000, 2000, 0, 0, 0, 0}, "1.00", "", ""},
        LineCase{"A,1,2,3,4,5,6,7,8", {1000, 2000, 3000, 4000, 5, 6000}, "1.00", "5", "6.00"},
        // atof reading: quotes, words, blanks, exponents, trailing junk.
        LineCase{"A,\"1.5\",abc,  2.5x,1e-3", {0, 0, 2500, 1, 0, 0}, "0.00", "", ""},
        LineCase{"A,1E3,2.5e+2,0,0", {1000000, 250000, 0, 0, 0, 0}, "1000.00", "", ""},
        LineCase{"   ", {0, 0, 0, 0, 0, 0}, "0.00", "", ""},
        LineCase{",,,,,,,,", {0, 0, 0, 0, 0, 0}, "0.00", "", ""},
        // The largest values that still fit.
        LineCase{"A,2147483.6475,-2147483.6485,0,0,2147483647.9",
                 {2147483647, -2147483648, 0, 0, 2147483647, 0},
                 "2147483.65",
                 "2147483647",
                 "0.00"}));

TEST(TestPlanFile, CountsEveryLineAfterTheHeadersInColumnTest) {
    const Result<LoadedPlan> result =
        ParseTestPlan("h1\r\n\r\nA,1\r\n\r\n\nB,2\r\n\r\r\nC,3\r\n\r\n");
    ASSERT_TRUE(result.Ok()) << result.Error();
    ASSERT_EQ(result->rows.size(), 4u);
    EXPECT_EQ(result->rows[0][0], "1");
    EXPECT_EQ(result->rows[1][0], "4");
    EXPECT_EQ(result->rows[2][0], "5");  // a lone CR is a line's text, not its end
    EXPECT_EQ(result->rows[3][0], "6");
    EXPECT_EQ(result->plan.entries[3].index, 3);
    EXPECT_EQ(result->plan.entries[3].P1, 3000);
}

TEST(TestPlanFile, HeadersAloneGiveAnEmptyPlan) {
    for (const char* contents : {"", "only one header", "h1\nh2", "h1\nh2\n", "h1\r\nA,1,2\r\n"}) {
        const Result<LoadedPlan> result = ParseTestPlan(contents);
        ASSERT_TRUE(result.Ok()) << contents;
        EXPECT_TRUE(result->plan.entries.empty()) << contents;
        EXPECT_TRUE(result->rows.empty()) << contents;
    }
}

struct RangeCase {
    const char* line;
    const char* error;
};

class OutOfRange : public ::testing::TestWithParam<RangeCase> {};

// The bad line follows a good one and an empty one: the file line is 5.
TEST_P(OutOfRange, LoadsNothingAndNamesTheLine) {
    const Result<LoadedPlan> result =
        ParseTestPlan(kHeaders + "A,1\n\n" + GetParam().line + "\nB,2\n");
    EXPECT_FALSE(result.Ok());
    EXPECT_EQ(result.Error(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Values, OutOfRange,
    ::testing::Values(RangeCase{"X,2147483.649", "Line 5: value out of range in column 2"},
                      RangeCase{"X,0,-1e300", "Line 5: value out of range in column 3"},
                      RangeCase{"X,0,0,inf", "Line 5: value out of range in column 4"},
                      RangeCase{"X,0,0,0,-INFINITY", "Line 5: value out of range in column 5"},
                      RangeCase{"X,0,0,0,0,2147483648", "Line 5: value out of range in column 6"},
                      RangeCase{"X,0,0,0,0,1,nan", "Line 5: value out of range in column 7"},
                      RangeCase{"X,NaN", "Line 5: value out of range in column 2"}));

TEST(TestPlanFile, ReadsEightBitBytesAsText) {
    const Result<LoadedPlan> result = ParseTestPlan(
        "\x7f"
        "ELF\n\xff\xfe\n\xe9t\xe9,\xff\xfe,3\t9,\x80,-2\r\n");
    ASSERT_TRUE(result.Ok()) << result.Error();
    ASSERT_EQ(result->plan.entries.size(), 1u);
    ExpectEntry(result->plan.entries[0], {0, 3000, 0, -2000, 0, 0});
}

// A picture or a program renamed .csv would read as rows of zeros that pass.
TEST(TestPlanFile, RefusesControlCharactersNamingTheFirstLineThatHoldsOne) {
    using namespace std::string_literals;
    using namespace std::string_view_literals;
    struct Case {
        std::string contents;
        std::string error;
    };
    for (const Case& c : {
             Case{"\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s,
                  "Line 2: control character 0x1A; this is not a test plan"},
             Case{std::string(kHeaders).append("A,1,2\r\nB,3\0,4\n"sv),
                  "Line 4: control character 0x00; this is not a test plan"},
             Case{"h\x01\n"s, "Line 1: control character 0x01; this is not a test plan"},
             Case{kHeaders + "A,1\rB\x1f\n",
                  "Line 3: control character 0x1F; this is not a test plan"},
         }) {
        const Result<LoadedPlan> result = ParseTestPlan(c.contents);
        EXPECT_FALSE(result.Ok());
        EXPECT_EQ(result.Error(), c.error);
    }
    // Tab, a lone CR and the line ends are text.
    EXPECT_TRUE(ParseTestPlan(kHeaders + "A,\t1\r,2\r\n").Ok());
}

// Words where numbers belong still read as 0, but the load says where, once.
TEST(TestPlanFile, TellsOnceWhereFieldsHoldTextButNoNumber) {
    Result<LoadedPlan> result =
        ParseTestPlan(kHeaders + "A,abc,2, ,\"3\"\n\nB,0,x1,1e,,1,none\nC,,0,-.5,+,,\n");
    ASSERT_TRUE(result.Ok()) << result.Error();
    ExpectEntry(result->plan.entries[1], {0, 0, 1000, 0, 1, 0});
    EXPECT_EQ(result->warning,
              "These fields hold no number and are read as 0: line 3 column 2, line 3 column 5, "
              "line 5 column 3, line 5 column 7, line 6 column 5.");

    std::string many = kHeaders;
    for (int i = 0; i < 4; ++i) {
        many += "T,a,b,c\n";
    }
    result = ParseTestPlan(many);
    EXPECT_NE(result->warning.find("line 5 column 4, line 6 column 2 and 2 more."),
              std::string::npos)
        << result->warning;
    EXPECT_EQ(std::count(result->warning.begin(), result->warning.end(), ','), 9);

    EXPECT_EQ(ParseTestPlan(kHeaders + "A,1.5,2,0.25,3\nB,0,,  ,1.2,4500,3\n,,,\n")->warning, "");
}

// Whatever the bytes, the outcome is a consistent plan or a named line.
TEST(TestPlanFile, RandomBytesGiveAConsistentResult) {
    std::mt19937 random(12345);
    const std::string alphabet = std::string("0123456789.,eE+-\n\r \"naifx") + '\0';
    for (int round = 0; round < 200; ++round) {
        std::string contents(random() % 400, ' ');
        for (char& c : contents) {
            c = round % 2 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
        }
        const Result<LoadedPlan> result = ParseTestPlan(contents);
        if (!result.Ok()) {
            EXPECT_EQ(result.Error().rfind("Line ", 0), 0u) << result.Error();
            continue;
        }
        ASSERT_EQ(result->rows.size(), result->plan.entries.size());
        for (std::size_t i = 0; i < result->rows.size(); ++i) {
            EXPECT_EQ(result->plan.entries[i].index, static_cast<std::int32_t>(i));
        }
    }
}

TEST(TestPlanFile, LoadsAMillionLines) {
    std::string contents = kHeaders;
    for (int i = 0; i < 1000000; ++i) {
        contents += i % 10 == 9 ? "\r\n" : "T,1.5,2,0.25,3,4500,3\r\n";
    }
    const Result<LoadedPlan> result = ParseTestPlan(contents);
    ASSERT_TRUE(result.Ok()) << result.Error();
    ASSERT_EQ(result->plan.entries.size(), 900000u);
    EXPECT_EQ(result->plan.entries.back().index, 899999);
    EXPECT_EQ(result->plan.entries.back().P6, 3000);
    EXPECT_EQ(result->rows.back()[0], "999999");
}

TEST(TestPlanFile, ReadsFieldsOfAHundredThousandCharacters) {
    const std::string label(100000, 'x');
    const std::string blanksThenNumber = std::string(100000, ' ') + "2.5";
    const std::string tinyNumber = "0." + std::string(100000, '0') + "1";
    const std::string hugeNumber(100000, '7');
    Result<LoadedPlan> result =
        ParseTestPlan(kHeaders + label + "," + blanksThenNumber + "," + tinyNumber + ",1,1");
    ASSERT_TRUE(result.Ok()) << result.Error();
    ExpectEntry(result->plan.entries[0], {2500, 0, 1000, 1000, 0, 0});

    result = ParseTestPlan(kHeaders + "A,1," + hugeNumber);
    EXPECT_EQ(result.Error(), "Line 3: value out of range in column 3");
}

TEST(TestPlanFile, ReadsAFileFromDisk) {
    test::TempFolder folder;
    const auto file = folder / "TestCfg.csv";
    test::WriteBytes(file, "h\r\nh\r\nA,1.5,2,0.25,3\r\nB,0,5,5,1.2,4500,3\r\n");
    const Result<LoadedPlan> result = LoadTestPlanFile(file);
    ASSERT_TRUE(result.Ok()) << result.Error();
    ASSERT_EQ(result->rows.size(), 2u);
    EXPECT_EQ(result->rows[1], Row("2", "0.00", "5.00", "5.00", "1.20", "4500", "3.00"));
}

TEST(TestPlanFile, AFileThatCannotBeOpenedIsReportedWithItsPathAndTheReason) {
    test::TempFolder folder;
    struct Case {
        std::filesystem::path path;
        const char* reason;
    };
    for (const Case& c : {Case{folder / "missing.csv", "No such file or directory"},
                          Case{folder.Path(), "not a regular file"}}) {
        const Result<LoadedPlan> result = LoadTestPlanFile(c.path);
        EXPECT_FALSE(result.Ok());
        EXPECT_EQ(result.Error(),
                  "Can't open test parameters file\n" + c.path.string() + ": " + c.reason);
    }
}

}  // namespace
}  // namespace orvalt
