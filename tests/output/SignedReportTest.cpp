// The report a quality engineer signs: a failed unit of the example plan
// printed by headless Chromium on at most two A4 sheets with what it is
// signed for.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "cli/ExitStatus.h"
#include "cli/HeadlessRunner.h"
#include "cli/RecordsCommands.h"
#include "platform/StopRequest.h"
#include "support/HeadlessChromium.h"
#include "support/OwnXdgFolders.h"
#include "support/RecordsKit.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(ORVALT_SOURCE_DIR) / "examples";

class SignedReport : public ::testing::Test {
  protected:
    // One unit of the example plan on the simulator, judged by `limits`.
    int RunExamplePlan(const std::string& serial, const char* limits) {
        const auto parsed = ParseCliOptions({"--simulate", "--fast", "--quiet", "--model", "X100",
                                             "--serial", serial, "--operator", "M. Keller",
                                             "--limits", (kExamples / limits).string(), "--db", db_,
                                             (kExamples / "TestCfg.csv").string()});
        EXPECT_TRUE(parsed.options) << parsed.error;
        StopRequest stop;
        std::ostringstream out, err;
        return parsed.options ? RunHeadless(*parsed.options, out, err, stop) : -1;
    }

    int Report(std::vector<std::string> args) {
        args.insert(args.begin(), "report");
        args.insert(args.end(), {"--db", db_});
        out_.str({});
        err_.str({});
        return RunRecordsCommand(args, out_, err_).value_or(-1);
    }

    TempFolder folder_;
    // The runner's settings and spool in the test's folder, not the user's.
    const OwnXdgFolders own_{folder_.Path()};
    const std::string db_ = (folder_ / "results.sqlite").string();
    std::ostringstream out_, err_;
};

// "Pages:           2" -> 2.
int PdfPages(const std::string& info) {
    std::smatch match;
    return std::regex_search(info, match, std::regex("Pages:\\s+([0-9]+)"))
               ? std::stoi(match[1].str())
               : -1;
}

// Printed, the failed unit's report is at most two A4 sheets holding the
// verdict, its reason as the operator was told it, what judged it (limits and
// plan by hash, settings at Start, station, U3, operator, attempt), every
// test's trace with its axes' units, and the block to sign; the plan's text and the diagnostic
// lines stay on screen.
TEST_F(SignedReport, AFailedUnitPrintsOnTwoA4SheetsWithWhatItIsSignedFor) {
    const std::string browser = Chromium();
    if (browser.empty() || !fs::exists("/usr/bin/pdfinfo")) {
        GTEST_SKIP() << "Debian's chromium or poppler-utils is not installed";
    }
    ASSERT_EQ(RunExamplePlan("SN-FAIL", "limits-fail.csv"), kExitLimitFailed);
    const fs::path page = folder_ / "report.html";
    ASSERT_EQ(Report({"--last", "--out", page.string()}), kExitRanToEnd) << err_.str();
    const fs::path pdf = folder_ / "report.pdf";
    InChromium(browser, "--no-pdf-header-footer --print-to-pdf=" + pdf.string(), page, folder_);
    const std::string info = Output("pdfinfo " + pdf.string());
    EXPECT_NE(info.find("(A4)"), std::string::npos) << info;
    const int pages = PdfPages(info);
    EXPECT_GE(pages, 1) << info;
    EXPECT_LE(pages, 2) << info;

    const std::string text = Output("pdftotext -raw " + pdf.string() + " -");
    // The example's fail limits hold V4 to 4.50; the simulator's unit lights
    // level 4 at 4.7 V, the figure the plan's second test reports.
    for (const char* printed :
         {"SN-FAIL", "FAIL", "Test 2: Level 4 light 4.70 V, above the 4.50 V maximum",
          "limits-fail.csv (SHA-256 ", "TestCfg.csv (SHA-256 ", "Station", "U3 serial", "M. Keller",
          "Attempt 1", "Settings at Start", "VoltageOffA 1.5",
          "time since the test's first power switch (s)", "Approval", "Reviewed by", "Date",
          "Signature"}) {
        EXPECT_NE(text.find(printed), std::string::npos) << printed << " not printed:\n" << text;
    }
    // Printed upright, the words of the light axis come out a line each.
    EXPECT_TRUE(std::regex_search(text, std::regex("light\\s+level\\s+\\(V\\)"))) << text;
    EXPECT_EQ(text.find("Orvalt example test plan"), std::string::npos) << "the plan's text";
    EXPECT_EQ(text.find("Diagnostic lines"), std::string::npos);
    EXPECT_EQ(text.find("V4 4.71 > 4.50"), std::string::npos) << "the terse reason";
}

}  // namespace
}  // namespace orvalt::test
