#include "results/TestDataExport.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/SafeFile.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace orvalt {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::WriteBytes;

const UnitDescription kUnit{"Acme", "X100", "Linear", "40W", "4ft", "DrvCo", "D-200"};
const std::string kHeader =
    "Manufacturer: Acme\r\nModel: X100\r\nType: Linear\r\nPower: 40W\r\nSize: 4ft\r\n"
    "Driver Manufacturer: DrvCo\r\nDriver Model: D-200\r\n";

const UnitDescription kOldUnit{"Old", "X100", "Linear", "40W", "4ft", "DrvCo", "D-200"};

void AddTwoSummaryLines(SummaryLines& summary) {
    summary.Append({"12-06-26", false, kOldUnit, "2.51"});
    summary.Append({"12-06-26", true, kOldUnit, "0.00"});
}

const std::string kTwoTotalsLines =
    "12-06-26, 1, 0,Acme, X100, Linear, 40W, 4ft, DrvCo, D-200, 2.51\r\n"
    "12-06-26, 1, 1,Acme, X100, Linear, 40W, 4ft, DrvCo, D-200, 0.00\r\n";

// Everything in the folder but the named files: leftovers of a failed write.
std::vector<std::string> OtherFiles(const fs::path& folder, std::vector<std::string> expected) {
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::find(expected.begin(), expected.end(), name) == expected.end()) {
            others.push_back(name);
        }
    }
    return others;
}

TEST(DefaultTestDataName, ReplacesCharactersAFileNameCannotHold) {
    EXPECT_EQ(DefaultTestDataName("A/B", "C:D"), "A_B-C_D.csv");
    EXPECT_EQ(DefaultTestDataName("", ""), "-.csv");
    EXPECT_EQ(DefaultTestDataName("<>:/\\|?*", "x.y z"), "________-x.y z.csv");
}

TEST(DefaultTestDataPath, JoinsTheDataFolderOrTheHomeFolder) {
    EXPECT_EQ(DefaultTestDataPath("/data/runs", "A/B", "C:D"), fs::path("/data/runs/A_B-C_D.csv"));
    EXPECT_EQ(DefaultTestDataPath("/data/runs/", "A", "B"), fs::path("/data/runs/A-B.csv"));

    const char* oldHome = std::getenv("HOME");
    const std::string saved = oldHome ? oldHome : "";
    ::setenv("HOME", "/home/operator", 1);
    EXPECT_EQ(DefaultTestDataPath("", "A", "B"), fs::path("/home/operator/A-B.csv"));
    oldHome ? ::setenv("HOME", saved.c_str(), 1) : ::unsetenv("HOME");
}

TEST(CompanionFiles, SitBesideTheChosenFile) {
    EXPECT_EQ(SumFilePath("/d/run1.csv"), fs::path("/d/run1_Sum.csv"));
    EXPECT_EQ(SumFilePath("/d/run1"), fs::path("/d/run1_Sum"));
    EXPECT_EQ(SumFilePath("/d/a.b.csv"), fs::path("/d/a.b_Sum.csv"));
    EXPECT_EQ(SumFilePath("/d/.csv"), fs::path("/d/_Sum.csv"));
    EXPECT_EQ(TotalsFilePath("/d/run1.csv"), fs::path("/d/totalsums.csv"));
}

TEST(SaveTestData, WritesTheThreeFilesOnceAndTheTotalsOnlyOnce) {
    test::TempFolder folder;
    SummaryLines summary;
    AddTwoSummaryLines(summary);
    const std::vector<std::string> log{"Test 1 start", "V1 = 2.51", "last line"};
    for (int save = 0; save < 2; ++save) {
        const SaveResult result = SaveTestData(folder / "run1.csv", kUnit, log, summary);
        EXPECT_TRUE(result.Ok()) << result.errors.front();
        EXPECT_EQ(result.totalsLinesWritten, save == 0 ? 2u : 0u);
        EXPECT_EQ(summary.Count(), 0u);
        EXPECT_EQ(ReadBytes(folder / "run1.csv"),
                  kHeader + "Test 1 start\r\nV1 = 2.51\r\nlast line\r\n");
        EXPECT_EQ(ReadBytes(folder / "run1_Sum.csv"), "last line\r\n");
        EXPECT_EQ(ReadBytes(folder / "totalsums.csv"), kTwoTotalsLines);
    }
    EXPECT_TRUE(OtherFiles(folder.Path(), {"run1.csv", "run1_Sum.csv", "totalsums.csv"}).empty());
}

TEST(SaveTestData, AnEmptyLogGivesHeaderAndALineBreak) {
    test::TempFolder folder;
    WriteBytes(folder / "run.csv", "an older and much longer test data file\r\n");
    const auto shared = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                        fs::perms::group_write;
    fs::permissions(folder / "run.csv", shared);
    SummaryLines summary;
    EXPECT_TRUE(SaveTestData(folder / "run.csv", kUnit, {}, summary).Ok());
    EXPECT_EQ(ReadBytes(folder / "run.csv"), kHeader);
    EXPECT_EQ(fs::status(folder / "run.csv").permissions(), shared);
    EXPECT_EQ(ReadBytes(folder / "run_Sum.csv"), "\r\n");
    EXPECT_TRUE(fs::exists(folder / "totalsums.csv"));
    EXPECT_EQ(ReadBytes(folder / "totalsums.csv"), "");
}

TEST(SaveTestData, TotalsOfSeveralRunsAccumulateOldestFirst) {
    test::TempFolder folder;
    SummaryLines summary;
    AddTwoSummaryLines(summary);
    ASSERT_TRUE(SaveTestData(folder / "monday.csv", kUnit, {"x"}, summary).Ok());
    summary.Append({"12-07-26", false, {"Acme", "X200", "", "", "", "", ""}, "3.00"});
    UnitDescription renamed = kUnit;
    renamed.manufacturer = "Acme Ltd";
    ASSERT_TRUE(SaveTestData(folder / "tuesday.csv", renamed, {"y"}, summary).Ok());
    EXPECT_EQ(ReadBytes(folder / "totalsums.csv"),
              kTwoTotalsLines + "12-07-26, 1, 0,Acme Ltd, X200, , , , , , 3.00\r\n");
}

TEST(SaveTestData, KeepsWritingThroughALinkToItsTarget) {
    test::TempFolder folder;
    WriteBytes(folder / "real.csv", "old");
    fs::create_symlink(folder / "real.csv", folder / "link.csv");
    SummaryLines summary;
    ASSERT_TRUE(SaveTestData(folder / "link.csv", kUnit, {"z"}, summary).Ok());
    EXPECT_TRUE(fs::is_symlink(folder / "link.csv"));
    EXPECT_EQ(ReadBytes(folder / "real.csv"), kHeader + "z\r\n");
}

// The outcome of a save in a child, for the parent to check: the errors, then
// how many summary lines stayed.
std::string SaveInChild(const fs::path& chosen, const std::function<void()>& restrict) {
    return test::RunInChild([&] {
        restrict();
        SummaryLines summary;
        AddTwoSummaryLines(summary);
        const SaveResult result = SaveTestData(chosen, kUnit, {"log line"}, summary);
        std::string outcome;
        for (const std::string& error : result.errors) {
            outcome += error + "\n";
        }
        return outcome + "kept " + std::to_string(summary.Count());
    });
}

TEST(SaveTestData, AReadOnlyFolderIsReportedAndWritesNothing) {
    test::TempFolder folder;
    const fs::path readOnly = folder / "ro";
    fs::create_directory(readOnly);
    WriteBytes(readOnly / "run.csv", "earlier data\r\n");
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(readOnly / "run.csv", fs::perms::owner_read | fs::perms::others_read);
    for (const char* name : {"run.csv", "new.csv"}) {
        EXPECT_EQ(SaveInChild(readOnly / name, test::DropRoot),
                  "Can't write " + (readOnly / name).string() + ": Permission denied\nkept 2");
    }
    EXPECT_EQ(ReadBytes(readOnly / "run.csv"), "earlier data\r\n");
    EXPECT_TRUE(OtherFiles(readOnly, {"run.csv"}).empty());
}

TEST(SaveTestData, AFullDiskLeavesTheTestDataFileAsItWas) {
    test::TempFolder folder;
    WriteBytes(folder / "run.csv", "earlier data\r\n");
    EXPECT_EQ(SaveInChild(folder / "run.csv", [] { test::LimitFileSize(100); }),
              "Can't write " + (folder / "run.csv").string() + ": File too large\nkept 2");
    EXPECT_EQ(ReadBytes(folder / "run.csv"), "earlier data\r\n");
    EXPECT_TRUE(OtherFiles(folder.Path(), {"run.csv"}).empty());
}

// The totals file is larger than the limit allows a new line to end: the
// write stops inside the first new line, which must not stay behind.
TEST(SaveTestData, AFullDiskLeavesNoTornTotalsLineAndKeepsTheSummaryLines) {
    test::TempFolder folder;
    const std::string earlier(1000, 'e');
    WriteBytes(folder / "totalsums.csv", earlier);
    EXPECT_EQ(SaveInChild(folder / "run.csv", [] { test::LimitFileSize(1010); }),
              "Can't write " + (folder / "totalsums.csv").string() + ": File too large\nkept 2");
    EXPECT_EQ(ReadBytes(folder / "totalsums.csv"), earlier);
    EXPECT_EQ(ReadBytes(folder / "run.csv"), kHeader + "log line\r\n");
    EXPECT_EQ(ReadBytes(folder / "run_Sum.csv"), "log line\r\n");
}

// The "_Sum" file's place is taken by a folder: that is known before anything
// is written, so neither the test data file nor the totals change.
TEST(SaveTestData, AFolderWhereTheSumFileGoesLeavesAllThreeAsTheyWere) {
    for (const bool earlier : {false, true}) {
        test::TempFolder folder;
        fs::create_directory(folder / "run_Sum.csv");
        if (earlier) {
            WriteBytes(folder / "run.csv", "earlier data\r\n");
            WriteBytes(folder / "totalsums.csv", "earlier totals\r\n");
        }
        SummaryLines summary;
        AddTwoSummaryLines(summary);
        const SaveResult result = SaveTestData(folder / "run.csv", kUnit, {"log"}, summary);
        ASSERT_EQ(result.errors.size(), 1u);
        EXPECT_EQ(result.errors[0],
                  "Can't write " + (folder / "run_Sum.csv").string() + ": not a regular file");
        EXPECT_EQ(summary.Count(), 2u);
        EXPECT_EQ(ReadBytes(folder / "run.csv"), earlier ? "earlier data\r\n" : "");
        EXPECT_EQ(ReadBytes(folder / "totalsums.csv"), earlier ? "earlier totals\r\n" : "");
        EXPECT_TRUE(OtherFiles(folder.Path(), {"run_Sum.csv", "run.csv", "totalsums.csv"}).empty());
        EXPECT_EQ(fs::exists(folder / "run.csv"), earlier);
        EXPECT_EQ(fs::exists(folder / "totalsums.csv"), earlier);
    }
}

TEST(AppendToSharedFile, ReportsALockThatIsNeverGivenUp) {
    test::TempFolder folder;
    const fs::path totals = folder / "totalsums.csv";
    WriteBytes(totals, "line 1\r\n");
    const int holder = ::open(totals.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    const Result<void> result =
        AppendToSharedFile(totals, "line 2\r\n", std::chrono::milliseconds(100));
    ::close(holder);
    ASSERT_FALSE(result.Ok());
    EXPECT_EQ(result.Error(),
              "Can't write " + totals.string() + ": another program keeps it locked");
    EXPECT_EQ(ReadBytes(totals), "line 1\r\n");
}

// Two stations saving blocks of lines to one file at once: each block stays whole.
TEST(AppendToSharedFile, KeepsTheBlocksOfTwoWritersApart) {
    test::TempFolder folder;
    const fs::path totals = folder / "totalsums.csv";
    const auto writer = [&](char tag) {
        std::string block;
        for (int line = 0; line < 50; ++line) {
            block += std::string(40, tag) + "\r\n";
        }
        for (int save = 0; save < 100; ++save) {
            if (!AppendToSharedFile(totals, block).Ok()) {
                return std::string("failed");
            }
        }
        return std::string("done");
    };
    const pid_t other = ::fork();
    if (other == 0) {
        ::_exit(writer('b') == "done" ? 0 : 1);
    }
    EXPECT_EQ(writer('a'), "done");
    int status = 0;
    ::waitpid(other, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const std::string bytes = ReadBytes(totals);
    ASSERT_EQ(bytes.size(), 2u * 100 * 50 * 42);
    for (std::size_t block = 0; block < bytes.size(); block += 50 * 42) {
        const std::string expected = std::string(40, bytes[block]) + "\r\n";
        for (std::size_t line = 0; line < 50; ++line) {
            ASSERT_EQ(bytes.substr(block + line * 42, 42), expected) << "block at " << block;
        }
    }
}

}  // namespace
}  // namespace orvalt
