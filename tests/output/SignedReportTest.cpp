// The report a quality engineer signs: a failed unit of the example plan
// printed by headless Chromium on at most two A4 sheets with what it is
// signed for, and the passed unit whose traces are drawn beneath its own.

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
// test's trace with its axes' units, the reference unit named, and the block
// to sign; the plan's text and the diagnostic lines stay on screen.
TEST_F(SignedReport, AFailedUnitPrintsOnTwoA4SheetsWithWhatItIsSignedFor) {
    const std::string browser = Chromium();
    if (browser.empty() || !fs::exists("/usr/bin/pdfinfo")) {
        GTEST_SKIP() << "Debian's chromium or poppler-utils is not installed";
    }
    ASSERT_EQ(RunExamplePlan("SN-PASS", "limits-pass.csv"), kExitRanToEnd);
    ASSERT_EQ(RunExamplePlan("SN-FAIL", "limits-fail.csv"), kExitLimitFailed);
    const fs::path page = folder_ / "report.html";
    ASSERT_EQ(Report({"--last", "--reference", "newest", "--out", page.string()}), kExitRanToEnd)
        << err_.str();
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
          "time since the test's first power switch (s)", "passed unit SN-PASS #1", "Approval",
          "Reviewed by", "Date", "Signature"}) {
        EXPECT_NE(text.find(printed), std::string::npos) << printed << " not printed:\n" << text;
    }
    // Printed upright, the words of the light axis come out a line each.
    EXPECT_TRUE(std::regex_search(text, std::regex("light\\s+level\\s+\\(V\\)"))) << text;
    EXPECT_EQ(text.find("Orvalt example test plan"), std::string::npos) << "the plan's text";
    EXPECT_EQ(text.find("Diagnostic lines"), std::string::npos);
    EXPECT_EQ(text.find("V4 4.71 > 4.50"), std::string::npos) << "the terse reason";
}

// A run, as the tests below record it: `model` on plan `plan`, started at
// 08:0`minute` on 2026-12-01, one test of `readings` readings, the unit's
// verdict `verdict`.
std::string RecordRun(RunRecorder& recorder, const std::string& model, const std::string& serial,
                      const std::string& plan, int minute, VerdictKind verdict, int readings) {
    RunStart run = SampleRun(model, serial);
    run.startedAt = "2026-12-01T08:0" + std::to_string(minute) + ":00.000Z";
    run.planSha256 = plan;
    const std::string uuid = recorder.BeginRun(run);
    RecordedCounts counts;
    RecordCompletedTest(recorder, 0, readings, counts);
    recorder.EndRun({RecordEnd::Completed, "", "", verdict});
    return uuid;
}

std::size_t ReferencePoints(const std::string& html) {
    std::smatch match;
    if (!std::regex_search(
            html, match, std::regex("<g class=\"reference-readings\" data-points=\"([0-9]+)\""))) {
        return 0;
    }
    return std::stoul(match[1].str());
}

// --reference newest takes the passed unit of the same model and plan that
// started last, never the run itself; a run named must have passed, on the
// same model.
TEST_F(SignedReport, TheReferenceIsAPassedUnitOfTheSameModelAndPlan) {
    std::string older, newest, otherPlan, otherModel, failed, reported;
    {
        RunRecorder recorder({db_, folder_ / "spool.sqlite", std::chrono::milliseconds(0), {}});
        older = RecordRun(recorder, "X100", "SN-1", "plan-a", 0, VerdictKind::Pass, 11);
        newest = RecordRun(recorder, "X100", "SN-2", "plan-a", 1, VerdictKind::Pass, 22);
        otherPlan = RecordRun(recorder, "X100", "SN-3", "plan-b", 2, VerdictKind::Pass, 33);
        otherModel = RecordRun(recorder, "Y200", "SN-4", "plan-a", 3, VerdictKind::Pass, 44);
        failed = RecordRun(recorder, "X100", "SN-5", "plan-a", 4, VerdictKind::Fail, 55);
        reported = RecordRun(recorder, "X100", "SN-6", "plan-a", 5, VerdictKind::Fail, 66);
    }
    const fs::path page = folder_ / "report.html";
    const auto reportOf = [&](const std::string& run, const std::string& reference) {
        EXPECT_EQ(Report({"--run", run, "--reference", reference, "--out", page.string()}),
                  kExitRanToEnd)
            << err_.str();
        return ReadBytes(page);
    };
    std::string html = reportOf(reported, "newest");
    EXPECT_NE(html.find("passed unit SN-2 #1, run " + newest), std::string::npos);
    EXPECT_EQ(ReferencePoints(html), 22u) << "SN-2's readings beneath SN-6's";
    html = reportOf(newest, "newest");
    EXPECT_NE(html.find("passed unit SN-1 #1, run " + older), std::string::npos) << "not itself";
    html = reportOf(otherModel, "newest");
    EXPECT_NE(html.find("No other passed unit of model Y200 on plan "), std::string::npos);
    EXPECT_EQ(ReferencePoints(html), 0u);
    html = reportOf(reported, older);
    EXPECT_NE(html.find("passed unit SN-1 #1"), std::string::npos);
    EXPECT_EQ(ReferencePoints(html), 11u);
    ASSERT_EQ(Report({"--run", reported, "--out", page.string()}), kExitRanToEnd) << err_.str();
    EXPECT_EQ(ReadBytes(page).find("passed unit"), std::string::npos) << "none asked for";

    const auto refused = [&](const std::string& reference, const std::string& why) {
        fs::remove(page);
        EXPECT_EQ(Report({"--run", reported, "--reference", reference, "--out", page.string()}),
                  kExitRecordsUnreadable);
        EXPECT_NE(err_.str().find(why), std::string::npos) << err_.str();
        EXPECT_FALSE(fs::exists(page)) << reference;
    };
    refused(failed, "Run " + failed + " did not pass: only a passed unit is a reference.");
    refused(otherModel, "Run " + otherModel + " is of model Y200, not of model X100.");
    refused("no-such-run", "No run no-such-run is recorded.");
}

}  // namespace
}  // namespace orvalt::test
