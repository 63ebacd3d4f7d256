// orvalt-cli pareto as a script reads it: the text's heading and lines and
// the CSV's records carry the same rows, counted by hand from the judged
// runs the kit records (V4 at 4.70 and more in both cycle tests of a failing
// unit; a stopped run stopped in its second test); nothing recorded is no
// failure.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/RecordsCommands.h"
#include "recording/RunRecorder.h"
#include "support/CsvRecord.h"
#include "support/JudgedRunsKit.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

struct Answer {
    int status = -1;
    std::string out, err;
};

Answer Pareto(std::vector<std::string> args) {
    args.insert(args.begin(), "pareto");
    std::ostringstream out, err;
    const std::optional<int> status = RunRecordsCommand(args, out, err);
    return {status.value_or(-1), out.str(), err.str()};
}

std::vector<std::string> Lines(const std::string& text, const char* end) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, next; at < text.size(); at = next + std::string(end).size()) {
        next = text.find(end, at);
        if (next == std::string::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, next - at));
    }
    return lines;
}

class ParetoCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        RunRecorder recorder({db, folder / "spool.sqlite", std::chrono::milliseconds(0), {}});
        JudgedRunsMade made;
        const std::pair<const char*, JudgedRunKind> runs[] = {{"P-1", JudgedRunKind::Pass},
                                                              {"F-1", JudgedRunKind::Fail},
                                                              {"F-2", JudgedRunKind::Fail},
                                                              {"S-1", JudgedRunKind::Stopped}};
        std::int64_t minute = 0;
        for (const auto& [serial, kind] : runs) {
            RecordJudgedRun(recorder, serial, minute, kind, minute, made);
            ++minute;
        }
    }

    TempFolder folder;
    const std::string db = (folder / "results.sqlite").string();
};

TEST_F(ParetoCommand, TextAndCsvGiveTheSameRowsCountedOncePerRun) {
    const Answer text = Pareto({"--db", db, "--serial", "*"});
    ASSERT_EQ(text.status, 0) << text.err;
    const Answer csv = Pareto({"--db", db, "--serial", "*", "--format", "csv"});
    ASSERT_EQ(csv.status, 0) << csv.err;

    const std::vector<std::string> shown = Lines(text.out, "\n");
    ASSERT_GE(shown.size(), 4u) << text.out;
    EXPECT_EQ(shown[0], "Failure Pareto by reason: serial *");
    EXPECT_EQ(shown[1], "3 failed runs of 4");
    // Runs, share and cumulative share of the five counted: each failing unit
    // once in each of its two tests, the stopped run once.
    const std::vector<std::vector<std::string>> expected{
        {"Runs", "Share %", "Cumulative %", "Reason", "Worst"},
        {"2", "40.0", "40.0", "Test 1: Level 4 light above the 4.50 V maximum"},
        {"2", "40.0", "80.0", "Test 2: Level 4 light above the 4.50 V maximum"},
        {"1", "20.0", "100.0", "ERROR: stopped", ""}};
    const std::vector<std::string> records = Lines(csv.out, "\r\n");
    ASSERT_EQ(records.size(), expected.size()) << csv.out;
    EXPECT_TRUE(csv.out.ends_with("\r\n"));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto fields = ReadCsvRecord(records[i]);
        ASSERT_TRUE(fields && fields->size() == 5u) << records[i];
        for (std::size_t f = 0; f < expected[i].size(); ++f)
            EXPECT_EQ((*fields)[f], expected[i][f]) << records[i];
        if (i == 1 || i == 2) {
            EXPECT_TRUE((*fields)[4].starts_with("4.7") && (*fields)[4].ends_with(" V"))
                << (*fields)[4];
        }
        // The text's line holds the same fields, its name last.
        const std::string& line = shown[3 + i];
        EXPECT_TRUE(line.ends_with((*fields)[3])) << line;
        for (std::size_t f : {0u, 1u, 2u, 4u})
            EXPECT_NE(line.find((*fields)[f]), std::string::npos) << line;
    }
}

TEST_F(ParetoCommand, GroupsByFixtureAndSaysNothingRecordedAsYieldDoes) {
    const Answer fixture = Pareto({"--db", db, "--by", "fixture", "--format", "csv"});
    ASSERT_EQ(fixture.status, 0) << fixture.err;
    EXPECT_EQ(fixture.out,
              "Runs,Share %,Cumulative %,Fixture\r\n3,100.0,100.0,line-2 / Bench A\r\n");
    const Answer none = Pareto({"--db", (folder / "none.sqlite").string()});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "No run has been recorded yet.\n");
    EXPECT_NE(Pareto({"--db", db, "--by", "lot"}).status, 0);
}

}  // namespace
}  // namespace orvalt::test
