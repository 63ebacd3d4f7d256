// The report as a browser shows it: headless Chromium renders the page, and the
// plot in the rendered page has one point per recorded reading.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>

#include "cli/RecordsCommands.h"
#include "output/RunReport.h"
#include "output/TraceSvg.h"
#include "plot/CrossingMarks.h"
#include "reading/StoredTrace.h"
#include "support/HeadlessChromium.h"
#include "support/RecordsKit.h"
#include "support/StoredWords.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

std::vector<std::size_t> PolylinePointCounts(const std::string& dom) {
    std::vector<std::size_t> counts;
    const std::regex polyline("<polyline class=\"trace\"[^>]*points=\"([^\"]*)\"");
    for (std::sregex_iterator it(dom.begin(), dom.end(), polyline), end; it != end; ++it) {
        std::istringstream points((*it)[1].str());
        std::string point;
        std::size_t pointCount = 0;
        while (points >> point) {
            pointCount += point.find(',') != std::string::npos;
        }
        counts.push_back(pointCount);
    }
    return counts;
}

TEST(RunReportTest, ChromiumRendersThePageWithEveryReadingInItsPlot) {
    const std::string browser = Chromium();
    if (browser.empty()) {
        GTEST_SKIP() << "Debian's chromium is not installed";
    }
    TempFolder folder;
    const std::string db = (folder / "results.sqlite").string();
    RecordedCounts counts;
    {
        RunRecorder recorder({db, folder / "spool.sqlite", std::chrono::milliseconds(0), {}});
        RunStart run = SampleRun();
        run.unit.manufacturer = "<script>alert(1)</script> & Co";
        recorder.BeginRun(run);
        RecordCompletedTest(recorder, 0, 123, counts);
        RecordCompletedTest(recorder, 1, 77, counts);
        recorder.EndRun({});
    }
    const auto page = folder / "report.html";
    std::ostringstream out, err;
    ASSERT_EQ(RunRecordsCommand({"report", "--last", "--out", page.string(), "--db", db}, out, err),
              0)
        << err.str();
    const std::string dom = RenderedDom(browser, page, folder);
    ASSERT_NE(dom.find("</html>"), std::string::npos) << "no page rendered";
    EXPECT_EQ(PolylinePointCounts(dom), (std::vector<std::size_t>{123, 77}));
    EXPECT_NE(dom.find("&lt;script&gt;alert(1)&lt;/script&gt; &amp; Co"), std::string::npos);
    EXPECT_EQ(dom.find("<script>"), std::string::npos);
    EXPECT_NE(dom.find("12-06-26, 1, 0, Acme"), std::string::npos);
}

// The report places a crossing at the switch its record names, not at the
// first switch-on or the last switch-off of the test.
TEST(StoredTrace, CrossingsLieAtTheSwitchTheirRecordNames) {
    LoadedTest test;
    test.start.index = 2;
    test.switches = {{0, 4, false},    {20000, 4, true},  {25000, 5, true}, {40000, 4, false},
                     {55000, 4, true}, {74750, 4, false}, {90000, 4, true}, {95000, 4, false}};
    test.readings = {{23100, 2.1, ""}, {75250, 1.4, ""}};
    test.measurements = {{"TimeToOn", 3.1},
                         {"TimeToOffA", 0.5},
                         {"TimeToOffB", -1.0},
                         {"TimeToOn.switchAt", 20.0},
                         {"TimeToOffA.switchAt", 74.75}};
    const TestTrace trace = StoredTrace(test, {2.0, 1.5, 1.0});
    EXPECT_EQ(trace.testNumber, 3);
    EXPECT_EQ(trace.switches.size(), 7u) << "the power line only";
    EXPECT_EQ(trace.crossings, (std::vector<CrossingMark>{{Figure::TimeToOn, 23.1, 3.1, 2.0},
                                                          {Figure::TimeToOffA, 75.25, 0.5, 1.5}}));
    EXPECT_DOUBLE_EQ(trace.readings[1].seconds, 75.25);
    // The report's table lists the figures, not where their switches lie.
    LoadedRun run;
    run.tests.push_back(test);
    const std::string html = RunReportHtml(run);
    EXPECT_NE(html.find("<td>TimeToOffA</td>"), std::string::npos);
    EXPECT_EQ(html.find("switchAt"), std::string::npos);
}

// A run judged against limits, as LoadRun gives it back.
LoadedRun JudgedRun(const std::string& unitVerdict) {
    LoadedRun run;
    run.start = SampleRun("X100", "SN-778");
    run.start.uuid = "run-1";
    run.start.limitsName = "limits-fail.csv";
    run.start.limitsSha256 = "5e1f";
    run.start.operatorName = "Ann";
    run.start.login = "ann.k";
    run.start.lot = "WO-77";
    run.start.programVersion = "1.0.61";
    run.start.u3Serial = "320012345";
    run.start.u3Firmware = "1.46";
    run.attempt = 2;
    run.endedHow = "completed";
    run.endedAt = "2026-12-08T10:00:00.000Z";
    run.unitVerdict = VerdictWritten(unitVerdict);
    LoadedTest test;
    test.start = SampleTest(0);
    test.endedHow = "completed";
    test.verdict =
        Verdict{StoredVerdict::Read(unitVerdict), unitVerdict == "FAIL" ? "V4 4.70 > 4.50" : ""};
    test.measurements = {{{"V4", 4.7049, "V", 2}, std::nullopt, 4.5, MeasurementOutcome::Fail},
                         {{"TimeToOffB", 0.751, "s", 2}, 0.5, 0.75, MeasurementOutcome::Pass},
                         {{"PriorCount", 4.0, "", 0}, std::nullopt, std::nullopt, {}}};
    run.tests.push_back(test);
    return run;
}

// The text of the page's big headline word.
std::string Headline(const std::string& html) {
    const std::regex word("<div class=\"word\">([^<]*)</div>");
    std::smatch match;
    return std::regex_search(html, match, word) ? match[1].str() : std::string("(none)");
}

TEST(RunReport, OpensWithTheUnitsVerdictOrThatTheRunIsStillGoing) {
    EXPECT_EQ(Headline(RunReportHtml(JudgedRun("PASS"))), "PASS");
    EXPECT_EQ(Headline(RunReportHtml(JudgedRun("FAIL"))), "FAIL");
    EXPECT_EQ(Headline(RunReportHtml(JudgedRun("ERROR"))), "ERROR");
    LoadedRun unjudged = JudgedRun("");
    unjudged.start.limitsName.clear();
    unjudged.start.limitsSha256.clear();
    const std::string html = RunReportHtml(unjudged);
    EXPECT_EQ(Headline(html), "NOT JUDGED");
    EXPECT_NE(html.find("<th>Limits</th><td>not judged</td>"), std::string::npos);
    LoadedRun going = JudgedRun("");
    going.endedHow.clear();
    going.endedAt.clear();
    EXPECT_EQ(Headline(RunReportHtml(going)), "IN PROGRESS");
}

TEST(RunReport, ShowsWhatJudgedTheRunBeforeTheDetails) {
    const std::string html = RunReportHtml(JudgedRun("FAIL"));
    const std::size_t details = html.find("<div class=\"details\">");
    ASSERT_NE(details, std::string::npos);
    for (const std::string& shown :
         {std::string("<div class=\"serial\">SN-778</div>"), std::string("Acme X100"),
          std::string("limits-fail.csv (SHA-256 5e1f)"), std::string("<th>Attempt</th><td>2</td>"),
          std::string("Ann (login ann.k)"), std::string("<th>Lot</th><td>WO-77</td>"),
          std::string("1.0.61"), std::string("320012345 (firmware 1.46)"),
          std::string("<td class=\"fail\">FAIL</td></tr>"),
          std::string("<li>Test 1: Level 4 light 4.70 V, above the 4.50 V maximum</li>")}) {
        const std::size_t at = html.find(shown);
        EXPECT_LT(at, details) << shown;
    }
    EXPECT_NE(html.find("@page{size:A4"), std::string::npos);
}

// The digits the station showed and judged: 0.751 was 0.75 against a maximum
// of 0.75, a count is a whole number.
TEST(RunReport, EachFigureHasTheStationsDigitsItsUnitBoundsAndOutcome) {
    const std::string html = RunReportHtml(JudgedRun("FAIL"));
    EXPECT_NE(html.find("<tr><td>V4</td><td>4.70</td><td>V</td><td></td><td>4.50</td>"
                        "<td class=\"fail\">FAIL</td></tr>"),
              std::string::npos);
    EXPECT_NE(html.find("<tr><td>TimeToOffB</td><td>0.75</td><td>s</td><td>0.50</td>"
                        "<td>0.75</td><td class=\"pass\">PASS</td></tr>"),
              std::string::npos);
    EXPECT_NE(html.find("<tr><td>PriorCount</td><td>4</td><td></td><td></td><td></td>"
                        "<td class=\"notjudged\">not judged</td></tr>"),
              std::string::npos);
    EXPECT_EQ(html.find("0.751"), std::string::npos);
}

// A record from before units were kept: the name and value alone.
TEST(RunReport, AnOlderRecordRendersWithTwoDecimalsAndNoUnit) {
    LoadedRun run;
    run.start.unit.serial = "SN-OLD";
    run.endedHow = "completed";
    LoadedTest test;
    test.endedHow = "completed";
    test.measurements = {{{"V1", 2.6049}}};
    run.tests.push_back(test);
    const std::string html = RunReportHtml(run);
    EXPECT_EQ(Headline(html), "NOT JUDGED");
    EXPECT_NE(html.find("<tr><td>V1</td><td>2.60</td><td></td><td></td><td></td>"
                        "<td class=\"notjudged\">not judged</td></tr>"),
              std::string::npos);
    EXPECT_NE(html.find("<td>TEST 1</td><td></td><td>completed</td><td class=\"notjudged\">not "
                        "judged</td>"),
              std::string::npos);
}

// Runs `command`, its standard output gathered.
// Printed, each page is A4 (595 x 842 points, as Chromium writes them) and
// the first carries the verdict and the identity; the plan comes after.
TEST(RunReportTest, ChromiumPrintsItOnA4WithTheVerdictOnTheFirstPage) {
    const std::string browser = Chromium();
    if (browser.empty()) {
        GTEST_SKIP() << "Debian's chromium is not installed";
    }
    TempFolder folder;
    LoadedRun run = JudgedRun("FAIL");
    for (int index = 1; index < 7; ++index) {
        LoadedTest test = run.tests.front();
        test.start = SampleTest(index);
        for (int ms = 0; ms < 3000; ms += 10) {
            test.readings.push_back({ms, 2.0 + (ms % 700) / 300.0, ""});
        }
        run.tests.push_back(test);
    }
    const auto page = folder / "report.html";
    std::ofstream(page) << RunReportHtml(run);
    const auto pdf = folder / "report.pdf";
    InChromium(browser, "--no-pdf-header-footer --print-to-pdf=" + pdf.string(), page, folder);
    std::stringstream bytes;
    bytes << std::ifstream(pdf, std::ios::binary).rdbuf();
    const std::string content = bytes.str();
    ASSERT_EQ(content.rfind("%PDF", 0), 0u) << "no PDF printed";
    const std::regex box("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]");
    int pages = 0;
    for (std::sregex_iterator it(content.begin(), content.end(), box), end; it != end; ++it) {
        EXPECT_NEAR(std::stod((*it)[1]), 595.0, 0.5);
        EXPECT_NEAR(std::stod((*it)[2]), 842.0, 0.5);
        ++pages;
    }
    EXPECT_GE(pages, 2) << "seven tests' traces after the summary";
    if (!std::filesystem::exists("/usr/bin/pdftotext")) {
        GTEST_SKIP() << "poppler-utils is not installed: the first page's text is not read";
    }
    const std::string first = Output("pdftotext -f 1 -l 1 " + pdf.string() + " -");
    EXPECT_NE(first.find("FAIL"), std::string::npos) << first;
    EXPECT_NE(first.find("SN-778"), std::string::npos) << first;
    EXPECT_NE(first.find("TEST 7"), std::string::npos) << "the summary table whole: " << first;
    const std::string all = Output("pdftotext " + pdf.string() + " -");
    EXPECT_EQ(all.find("Plan row"), std::string::npos) << "the details stay on screen";
    EXPECT_NE(all.find("Approval"), std::string::npos);
}

std::vector<std::pair<double, double>> PointsIn(const std::string& svg) {
    std::vector<std::pair<double, double>> points;
    const std::regex polyline("points=\"([^\"]*)\"");
    const std::regex point("(-?[0-9.]+),(-?[0-9.]+)");
    for (std::sregex_iterator line(svg.begin(), svg.end(), polyline), end; line != end; ++line) {
        const std::string text = (*line)[1].str();
        for (std::sregex_iterator it(text.begin(), text.end(), point); it != end; ++it) {
            points.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
        }
    }
    return points;
}

TEST(TraceSvg, EveryPointLiesInsideThePlotAndAPauseIsAGap) {
    TestTrace trace;
    for (int i = 0; i < 200; ++i) {
        trace.readings.push_back({(i * 37 - 500) / 1000.0, (i % 17) * 0.7 - 1.0});
    }
    trace.readings.push_back({20.0, 3.0});  // alone, long after the rest
    const std::string svg = TraceSvg(trace, {20.0, 1.5, 1.0});
    ASSERT_EQ(PolylinePointCounts(svg), std::vector<std::size_t>{200});
    EXPECT_NE(svg.find("data-points=\"201\""), std::string::npos);
    EXPECT_NE(svg.find("<circle class=\"reading\""), std::string::npos) << "the lone one, a dot";
    for (const auto& [x, y] : PointsIn(svg)) {
        EXPECT_TRUE(x >= 0 && x <= 900 && y >= 0 && y <= 250) << x << "," << y;
    }
}

// A reference drawn beneath: first, in grey, and the axes widened to hold it
// (its 9 V and 19.6 s lie far beyond the run's own readings).
TEST(TraceSvg, AReferenceIsDrawnBeneathOnAxesThatHoldBoth) {
    TestTrace own, reference;
    for (int i = 0; i < 50; ++i) {
        own.readings.push_back({i * 0.1, 2.0});
        reference.readings.push_back({i * 0.4, i == 49 ? 9.0 : 2.5});
    }
    const std::string svg = TraceSvg(own, {2.0, 1.5, 1.0}, &reference);
    const std::size_t beneath =
        svg.find("<polyline class=\"reference\" fill=\"none\" stroke=\"#90a4ae\"");
    ASSERT_NE(beneath, std::string::npos) << svg;
    EXPECT_LT(beneath, svg.find("<polyline class=\"trace\""));
    const auto points = PointsIn(svg);
    ASSERT_EQ(points.size(), 100u);
    for (const auto& [x, y] : points) {
        EXPECT_TRUE(x >= 62 && x <= 885 && y >= 12 && y <= 217) << x << "," << y;
    }
    EXPECT_EQ(TraceSvg(own, {2.0, 1.5, 1.0}).find("reference"), std::string::npos);
}

// The plot alone, as an SVG document: Chromium's XML parser takes it whole.
TEST(TraceSvg, ChromiumParsesItAsWellFormedXml) {
    const std::string browser = Chromium();
    if (browser.empty()) {
        GTEST_SKIP() << "Debian's chromium is not installed";
    }
    TestTrace trace;
    trace.switches = {{0.0, false}, {1.0, true}, {1.1, false}, {1.2, true}, {8.0, false}};
    for (int i = 0; i < 40; ++i) {
        trace.readings.push_back({1.0 + i * 0.1, 3.0});
    }
    trace.readings.push_back({7.0, 3.2});
    MarkCrossings(trace, {{Figure::TimeToOn, 0.4, 1.0}, {Figure::TimeToOffA, 0.25, 8.0}},
                  {2.0, 1.5, 1.0});
    TempFolder folder;
    const auto page = folder / "plot.svg";
    {
        std::ofstream out(page);
        out << TraceSvg(trace, {2.0, 1.5, 1.0});
    }
    const std::string dom = RenderedDom(browser, page, folder);
    ASSERT_NE(dom.find("<svg"), std::string::npos) << dom;
    EXPECT_EQ(dom.find("parsererror"), std::string::npos) << dom;
    EXPECT_NE(dom.find("ON 0.40 s"), std::string::npos);
    EXPECT_NE(dom.find("OFF A 0.25 s"), std::string::npos);
}

}  // namespace
}  // namespace orvalt::test
