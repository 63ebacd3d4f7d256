// The limits file reader: what it takes, what it refuses and with which line,
// and that whatever it takes it takes exactly.

#include "verdict/LimitsFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>

#include "domain/FormatFixed.h"
#include "support/TempFolder.h"
#include "verdict/MeasurementCatalogue.h"

namespace orvalt {
namespace {

std::string WithCrLf(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return out;
}

TEST(LimitsFile, ReadsBoundsEitherOfWhichMayBeEmpty) {
    const std::string text = "measurement,min,max\nV4,4.2,4.5\nCT,,12\nDelay,100,\n";
    for (const std::string& contents : {text, WithCrLf(text)}) {
        const Result<Limits> result = ParseLimits(contents);
        ASSERT_TRUE(result.Ok()) << result.Error();
        ASSERT_EQ(result->rows.size(), 3u);
        const Limit& v4 = result->rows[0];
        EXPECT_EQ(v4.name, "V4");
        EXPECT_EQ(v4.min, 4.2);
        EXPECT_EQ(v4.max, 4.5);
        EXPECT_EQ(v4.line, 2);
        EXPECT_FALSE(result->rows[1].min.has_value());
        EXPECT_EQ(result->rows[1].max, 12.0);
        EXPECT_EQ(result->rows[2].min, 100.0);
        EXPECT_EQ(result->rows[2].decimals, 0);
        EXPECT_FALSE(result->rows[2].max.has_value());
    }
}

// What a spreadsheet program writes: a byte order mark, its own case, blanks
// around fields, blank lines, no end on the last line.
TEST(LimitsFile, TakesWhatASpreadsheetWrites) {
    const Result<Limits> result =
        ParseLimits("\xEF\xBB\xBFMeasurement, Min ,MAX\r\n\r\n v1.AVG , -0.5 , +3.50\r\n,,\r\n");
    EXPECT_FALSE(result.Ok());
    EXPECT_EQ(result.Error(), "Line 4: no measurement named");
    const Result<Limits> fine =
        ParseLimits("\xEF\xBB\xBFMeasurement, Min ,MAX\r\n\r\n v1.AVG , -0.5 , +3.50");
    ASSERT_TRUE(fine.Ok()) << fine.Error();
    ASSERT_EQ(fine->rows.size(), 1u);
    EXPECT_EQ(fine->rows[0].name, "V1.avg");
    EXPECT_EQ(fine->rows[0].min, -0.5);
    EXPECT_EQ(fine->rows[0].max, 3.5);
    EXPECT_EQ(fine->rows[0].line, 3);
}

TEST(LimitsFile, RefusesABadFileNamingItsLine) {
    const std::string header = "measurement,min,max\n";
    const struct {
        std::string contents;
        std::string error;
    } cases[] = {
        {"", "Line 1: the first line must be measurement,min,max"},
        {"name,low,high\nV1,1,2\n", "Line 1: the first line must be measurement,min,max"},
        {header + "V1,1,2\nV5,1,2\n", "Line 3: unknown measurement \"V5\""},
        {header + "V1,1\n", "Line 2: expected 3 fields (measurement,min,max), found 2"},
        {header + "V1,1,2,3\n", "Line 2: expected 3 fields (measurement,min,max), found 4"},
        {header + "V1,one,2\n", "Line 2: min \"one\" is not a number"},
        {header + "V1,1,2V\n", "Line 2: max \"2V\" is not a number"},
        {header + "V1,1e3,\n", "Line 2: min \"1e3\" is not a number"},
        {header + "V1,.,\n", "Line 2: min \".\" is not a number"},
        {header + "V1,-,\n", "Line 2: min \"-\" is not a number"},
        {header + "V1,1 2,\n", "Line 2: min \"1 2\" is not a number"},
        {header + "V1,,1234567890123\n", "Line 2: max \"1234567890123\" is not a number"},
        {header + "V1,4.505,\n", "Line 2: min 4.505 has more decimals than V1 shows (2)"},
        {header + "Delay,,2.5\n", "Line 2: max 2.5 has more decimals than Delay shows (0)"},
        {header + "V1,3,2\n", "Line 2: min 3.00 is above max 2.00"},
        {header + "\nV1,1,2\n\nv1,1,3\n", "Line 5: V1 is already limited on line 3"},
        // A file's text is shown as a terminal can take it, and cut when long.
        {header + "V1,1,2\r\r\n", "Line 2: max \"2\\r\" is not a number"},
        {header + "V1\x1b[2J,1,2\n", "Line 2: unknown measurement \"V1\\x1b[2J\""},
        {header + std::string("V1,1\0,2\n", 8), "Line 2: min \"1\\x00\" is not a number"},
        {header + "V1," + std::string(5000, '9') + ",\n",
         "Line 2: min \"" + std::string(40, '9') + "... (5000 bytes)\" is not a number"},
        {header + "V1,1." + std::string(4999, '0') + "1,\n",
         "Line 2: min 1." + std::string(38, '0') +
             "... (5002 bytes) has more decimals than V1 "
             "shows (2)"},
    };
    for (const auto& c : cases) {
        const Result<Limits> result = ParseLimits(c.contents);
        EXPECT_FALSE(result.Ok()) << c.contents;
        EXPECT_EQ(result.Error(), c.error) << c.contents;
    }
}

TEST(LimitsFile, TrailingZerosAndWholeNumbersAreNotExtraDecimals) {
    const Result<Limits> result =
        ParseLimits("measurement,min,max\nDelay,100.00,512.\nV2,0.100,000000000004\n");
    ASSERT_TRUE(result.Ok()) << result.Error();
    EXPECT_EQ(result->rows[0].min, 100.0);
    EXPECT_EQ(result->rows[0].max, 512.0);
    EXPECT_EQ(result->rows[1].min, 0.1);
    EXPECT_EQ(result->rows[1].max, 4.0);
}

TEST(LimitsFile, LoadsFromDiskAndSaysWhenItCannot) {
    test::TempFolder folder;
    test::WriteBytes(folder / "limits.csv", "measurement,min,max\r\nCT,10,14\r\n");
    const Result<Limits> loaded = LoadLimitsFile(folder / "limits.csv");
    ASSERT_TRUE(loaded.Ok()) << loaded.Error();
    EXPECT_EQ(loaded->rows.at(0).name, "CT");

    const Result<Limits> missing = LoadLimitsFile(folder / "none.csv");
    EXPECT_FALSE(missing.Ok());
    EXPECT_EQ(missing.Error(), "Can't open limits file " + (folder / "none.csv").string());
    const Result<Limits> folderGiven = LoadLimitsFile(folder.Path());
    EXPECT_FALSE(folderGiven.Ok());
    EXPECT_FALSE(folderGiven.Error().empty());
}

// Random files of random measurements with random bounds, written as an
// engineer might (any case, either bound left out, LF or CR LF): every row
// comes back with the same name, bounds and line.
TEST(LimitsFile, ReadsBackEveryRowOfRandomFiles) {
    std::mt19937 random(13);
    const auto catalogue = MeasurementCatalogue();
    for (int round = 0; round < 300; ++round) {
        std::vector<std::size_t> order(catalogue.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::shuffle(order.begin(), order.end(), random);
        order.resize(random() % 8);
        std::string text = "measurement,min,max\n";
        std::vector<std::pair<std::optional<long>, std::optional<long>>> bounds;
        for (const std::size_t index : order) {
            const MeasurementInfo& m = catalogue[index];
            const long scale = m.decimals == 2 ? 100 : 1;
            std::optional<long> low, high;
            if (random() % 3) {
                low = static_cast<long>(random() % 2000) - 1000;
            }
            if (random() % 3) {
                high = (low ? *low : -1000) + static_cast<long>(random() % 2000);
            }
            bounds.emplace_back(low, high);
            std::string name = m.name;
            if (random() % 2) {
                std::transform(name.begin(), name.end(), name.begin(), ::toupper);
            }
            const auto write = [&](const std::optional<long>& b) {
                return b ? FormatFixed(static_cast<double>(*b) / scale, m.decimals) : "";
            };
            text += name + "," + write(low) + "," + write(high) + "\n";
        }
        const Result<Limits> result = ParseLimits(random() % 2 ? WithCrLf(text) : text);
        ASSERT_TRUE(result.Ok()) << result.Error() << "\n" << text;
        ASSERT_EQ(result->rows.size(), order.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            const MeasurementInfo& m = catalogue[order[i]];
            const Limit& row = result->rows[i];
            const double scale = m.decimals == 2 ? 100.0 : 1.0;
            EXPECT_EQ(row.name, m.name);
            EXPECT_EQ(row.line, static_cast<int>(i) + 2);
            EXPECT_EQ(row.min.has_value(), bounds[i].first.has_value());
            EXPECT_EQ(row.max.has_value(), bounds[i].second.has_value());
            if (row.min) {
                EXPECT_EQ(*row.min, static_cast<double>(*bounds[i].first) / scale) << text;
            }
            if (row.max) {
                EXPECT_EQ(*row.max, static_cast<double>(*bounds[i].second) / scale) << text;
            }
        }
    }
}

}  // namespace
}  // namespace orvalt
