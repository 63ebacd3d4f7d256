// A run whose record holds verdict words this station never writes (a
// damaged or foreign record) beside its own: each output shows such a word as
// it stands and proves no pass with it, as it did before the words were read
// into kinds. NOT JUDGED is a word the station does write, for a test no
// limit applied to: it proves no pass either.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "output/RunExport.h"
#include "output/RunReport.h"
#include "support/RecordsKit.h"

namespace orvalt::test {
namespace {

LoadedTest EndedTest(int index, const std::string& how, std::optional<Verdict> verdict) {
    LoadedTest test;
    test.start = SampleTest(index);
    test.endedHow = how;
    test.verdict = std::move(verdict);
    return test;
}

// Tests 1 to 6: PASS, FAIL, "N/A", NOT JUDGED, stopped without a verdict,
// ERROR; the unit's verdict "Pass " with a space.
LoadedRun RunWithForeignWords() {
    LoadedRun run;
    run.start = SampleRun("X100", "SN-5");
    run.start.uuid = "run-5";
    run.endedHow = "completed";
    run.endedAt = "2026-12-08T10:00:00.000Z";
    run.unitVerdict = StoredVerdict::Read("Pass ");
    run.tests = {EndedTest(0, "completed", Verdict{VerdictKind::Pass, ""}),
                 EndedTest(1, "completed", Verdict{VerdictKind::Fail, "V4 4.70 > 4.50"}),
                 EndedTest(2, "completed", Verdict{StoredVerdict::Read("N/A"), "odd"}),
                 EndedTest(3, "completed", Verdict{VerdictKind::NotJudged, "no limit"}),
                 EndedTest(4, "stopped", std::nullopt),
                 EndedTest(5, "abandoned", Verdict{VerdictKind::Error, "abandoned"})};
    return run;
}

TEST(StoredVerdictWords, JunitSkipsEveryTestWithoutAPassFailOrError) {
    const std::string xml = RunJunitSuite(RunWithForeignWords());
    EXPECT_NE(xml.find(" tests=\"6\" failures=\"1\" errors=\"1\" skipped=\"3\""), std::string::npos)
        << xml;
    for (const char* shown :
         {"<property name=\"unit_verdict\" value=\"Pass \"/>", "<skipped message=\"N/A\"/>",
          "<skipped message=\"NOT JUDGED\"/>", "<skipped message=\"stopped\"/>",
          "<failure message=\"V4 4.70 &gt; 4.50\" type=\"FAIL\">",
          "<error message=\"abandoned\" type=\"ERROR\">"}) {
        EXPECT_NE(xml.find(shown), std::string::npos) << shown;
    }
    EXPECT_EQ(xml.find("<skipped message=\"PASS\""), std::string::npos);
}

TEST(StoredVerdictWords, TheReportShowsAWordOfNoKindAsItStandsGreyed) {
    const std::string html = RunReportHtml(RunWithForeignWords());
    for (const char* shown :
         {"<header class=\"verdict notjudged\">", "<div class=\"word\">NOT JUDGED</div>",
          "<td class=\"pass\">PASS</td>", "<td class=\"fail\">FAIL</td>",
          "<td class=\"notjudged\">N/A</td></tr>", "<td class=\"notjudged\">NOT JUDGED</td></tr>",
          "<td class=\"notjudged\">stopped</td>", "<td class=\"error\">ERROR</td>",
          "<th>Verdict</th><td>N/A odd</td>"}) {
        EXPECT_NE(html.find(shown), std::string::npos) << shown;
    }
    // The reasons in the operator's words; a verdict of no kind with its own.
    EXPECT_NE(html.find("<ul class=\"reasons\"><li>Test 2: Level 4 light 4.70 V, above the 4.50 V "
                        "maximum</li><li>Test 3: N/A odd</li><li>Test 4 was not judged: no limit "
                        "applies to what it measured</li><li>Test 6 was abandoned</li></ul>"),
              std::string::npos);
}

TEST(StoredVerdictWords, JsonCarriesEachWordAsStored) {
    const nlohmann::json run = nlohmann::json::parse(RunJson(RunWithForeignWords(), false));
    EXPECT_EQ(run["unit_verdict"], "Pass ");
    EXPECT_EQ(run["tests"][2]["verdict"]["outcome"], "N/A");
    EXPECT_EQ(run["tests"][3]["verdict"]["outcome"], "NOT JUDGED");
    EXPECT_TRUE(run["tests"][4]["verdict"].is_null());
    LoadedRun unjudged = RunWithForeignWords();
    unjudged.unitVerdict.reset();
    EXPECT_TRUE(nlohmann::json::parse(RunJson(unjudged, false))["unit_verdict"].is_null());
    EXPECT_NE(RunJunitSuite(unjudged).find("name=\"unit_verdict\" value=\"not judged\""),
              std::string::npos);
}

}  // namespace
}  // namespace orvalt::test
