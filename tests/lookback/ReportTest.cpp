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
#include "lookback/RunReport.h"
#include "lookback/StoredTrace.h"
#include "plot/CrossingMarks.h"
#include "plot/TraceSvg.h"
#include "support/RecordsKit.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

std::string Chromium() {
    for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"}) {
        if (std::filesystem::exists(path)) {
            return path;
        }
    }
    return {};
}

std::string RenderedDom(const std::string& browser, const std::filesystem::path& page,
                        const TempFolder& folder) {
    const std::string command =
        browser +
        " --headless --no-sandbox --disable-gpu --disable-background-networking"
        " --disable-component-update --disable-sync --no-first-run --user-data-dir=" +
        (folder / "profile").string() + " --dump-dom file://" + page.string() + " 2>/dev/null";
    std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), &pclose);
    std::string dom;
    char buffer[8192];
    std::size_t count;
    while (pipe && (count = fread(buffer, 1, sizeof buffer, pipe.get())) > 0) {
        dom.append(buffer, count);
    }
    return dom;
}

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
        EXPECT_TRUE(x >= 0 && x <= 900 && y >= 0 && y <= 320) << x << "," << y;
    }
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
