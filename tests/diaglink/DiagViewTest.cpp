#include "diaglink/DiagView.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "diaglink/DiagRecorder.h"
#include "diaglink/DiagSave.h"
#include "domain/Format.h"
#include "support/TempFolder.h"

namespace orvalt {
namespace {

using ::testing::ElementsAre;
using ::testing::Optional;

// A line as the link receives it: recorded, then shown in a list whose font
// is fixed-pitch, 6 pixels a character, average 6.
class DiagViewTest : public ::testing::Test {
  protected:
    static DiagTextMetrics Metrics() {
        return DiagTextMetrics{
            [](std::string_view text) { return static_cast<int>(text.size()) * 6; }, 6};
    }

    DiagLineResult Line(const std::string& line) {
        return OnDiagLine(view, recorder.Record(line), Metrics());
    }

    DiagView view;
    DiagTable table;
    VirtualClock clock{4000};
    SessionObservers observers;
    TestOrigin origin;
    DiagRecorder recorder{table, clock, observers, origin};
};

TEST_F(DiagViewTest, RecordsIntoTheTableWithTheClocksTimeAndEchoesFieldsOneThreeTwo) {
    Line("10 2 3");
    clock.SleepMs(25);
    Line("1f 0 2");
    const auto snapshot = table.Read();
    ASSERT_EQ(snapshot.count, 2);
    EXPECT_EQ(snapshot.records[0].arrivalTime, 4000u);
    EXPECT_EQ(snapshot.records[0].field1, 16);
    EXPECT_EQ(snapshot.records[0].field2, 2);
    EXPECT_EQ(snapshot.records[0].field3, 3);
    EXPECT_EQ(snapshot.records[1].arrivalTime, 4025u);
    EXPECT_EQ(DiagEchoText(DecodeReceivedLine("1f 0 2", 0).fields), ">>Diag: 31 2 0");
}

TEST_F(DiagViewTest, KeepsTheNewest400RowsAndTheNewest100Records) {
    DiagLineResult result;
    for (int i = 0; i < 401; ++i) {
        result = Line(Format("%x 0 %d", i, i % 4));
    }
    EXPECT_EQ(result.rowCount, 400u);
    ASSERT_EQ(view.rows.size(), 400u);
    EXPECT_EQ(view.rows.front(), "1 0 1");
    EXPECT_EQ(view.rows.back(), "190 0 0");
    const auto snapshot = table.Read();
    EXPECT_EQ(snapshot.count, 100);
    EXPECT_EQ(snapshot.records[0].field1, 301);
    EXPECT_EQ(snapshot.records[99].field1, 400);
}

TEST_F(DiagViewTest, ClearEmptiesTheRowsButNotTheTableNorTheColumnWidth) {
    EXPECT_THAT(Line("abc").columnWidthPx, Optional(24)) << "the first line sets the width";
    EXPECT_EQ(Line("ab").columnWidthPx, std::nullopt);
    EXPECT_THAT(Line("1 2 3 4").columnWidthPx, Optional(48));
    OnDiagClear(view);
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(table.Read().count, 3);
    EXPECT_EQ(Line("1 2 3").columnWidthPx, std::nullopt) << "the column never shrinks";
    EXPECT_EQ(Line("1 2 3").rowCount, 2u);
    EXPECT_THAT(Line(std::string(8000, '7')).columnWidthPx, Optional(32767)) << "16-bit width";
}

TEST_F(DiagViewTest, ARowEndsAtANulByteButTheLineLengthCountsAllOfIt) {
    Line(std::string("1 2\0 3", 6));
    EXPECT_THAT(view.rows, ElementsAre("1 2"));
    EXPECT_EQ(view.longestLineBytes, 6u);
    EXPECT_EQ(table.Read().records[0].field3, 0);
}

// Each test a folder of its own: the suite's tests run side by side.
class DiagSaveTest : public ::testing::Test {
  protected:
    static std::string Contents(const std::filesystem::path& path) {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }
    test::TempFolder temp;
    std::filesystem::path folder = temp / "orvalt-diag-save";
};

TEST_F(DiagSaveTest, WritesRowsOldestFirstWithCrLfReplacingAnOldFile) {
    std::filesystem::create_directories(folder);
    const auto path = folder / "diag.txt";
    std::ofstream(path) << "an older and much longer content";
    const auto result = SaveDiagRows(path, {"1 2 3", std::string("a\0b", 3), ""});
    EXPECT_TRUE(result.Ok()) << result.Error();
    EXPECT_EQ(Contents(path), "1 2 3\r\na\r\n\r\n");
}

TEST_F(DiagSaveTest, AFileThatCannotBeCreatedIsReportedByName) {
    const auto path = folder / "missing-folder" / "diag.txt";
    const auto result = SaveDiagRows(path, {"1 2 3"});
    EXPECT_FALSE(result.Ok());
    EXPECT_THAT(result.Error(), ::testing::HasSubstr(path.string()));
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace orvalt
