// The report as a browser shows it: headless Chromium renders the page, and the
// plot in the rendered page has one point per recorded reading.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>

#include "cli/RecordsCommands.h"
#include "records/RecordsKit.h"
#include "records/RunReport.h"
#include "records/TracePlot.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

std::string Chromium() {
    for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
        if (std::filesystem::exists(path))
            return path;
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
    while (pipe && (count = fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
        dom.append(buffer, count);
    return dom;
}

std::vector<std::size_t> PolylinePointCounts(const std::string& dom) {
    std::vector<std::size_t> counts;
    const std::regex polyline("<polyline class=\"trace\"[^>]*points=\"([^\"]*)\"");
    for (std::sregex_iterator it(dom.begin(), dom.end(), polyline), end; it != end; ++it) {
        std::istringstream points((*it)[1].str());
        std::string point;
        std::size_t n = 0;
        while (points >> point)
            n += point.find(',') != std::string::npos;
        counts.push_back(n);
    }
    return counts;
}

TEST(RunReportTest, ChromiumRendersThePageWithEveryReadingInItsPlot) {
    const std::string browser = Chromium();
    if (browser.empty())
        GTEST_SKIP() << "Debian's chromium is not installed";
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

TEST(TracePlotTest, CrossingsLieAfterTheirSwitchAtTheirThresholds) {
    const std::vector<LineSwitch> switches{{0, 4, false},    {1000, 4, true}, {5000, 5, false},
                                           {8000, 4, false}, {9000, 4, true}, {9500, 4, false}};
    const std::vector<NamedMeasurement> figures{
        {"TimeToOn", 0.4}, {"TimeToOffA", 0.25}, {"TimeToOffB", 0.0}};
    const std::vector<PlotThreshold> thresholds{
        {"VoltageOn", 1.0}, {"VoltageOffA", 0.5}, {"VoltageOffB", 0.2}};
    const auto crossings = CrossingsOf(switches, figures, thresholds);
    ASSERT_EQ(crossings.size(), 2u);  // a time of 0 was never reached: no mark
    EXPECT_EQ(crossings[0].label, "Time To ON");
    EXPECT_DOUBLE_EQ(crossings[0].seconds, 1.4);
    EXPECT_DOUBLE_EQ(crossings[0].volts, 1.0);
    EXPECT_DOUBLE_EQ(crossings[1].seconds, 9.75);
    EXPECT_DOUBLE_EQ(crossings[1].volts, 0.5);
}

TEST(TracePlotTest, EveryPointLiesInsideThePlot) {
    TracePlotInput input;
    for (int i = 0; i < 200; ++i)
        input.readings.push_back({i * 37 - 500, (i % 17) * 0.7 - 1.0, ""});
    input.thresholds = {{"VoltageOn", 20.0}};
    const std::string svg = TracePlotSvg(input);
    const auto counts = PolylinePointCounts(svg);
    ASSERT_EQ(counts, std::vector<std::size_t>{200});
    const std::regex point("(-?[0-9.]+),(-?[0-9.]+)");
    const auto start = svg.find("points=\"");
    const std::string points = svg.substr(start, svg.find('"', start + 8) - start);
    for (std::sregex_iterator it(points.begin(), points.end(), point), end; it != end; ++it) {
        const double x = std::stod((*it)[1]), y = std::stod((*it)[2]);
        EXPECT_TRUE(x >= 0 && x <= 900 && y >= 0 && y <= 320) << x << "," << y;
    }
}

}  // namespace
}  // namespace orvalt::test
