// The individuals chart's unit axis as Chromium lays it out: a handful of
// ticks, each a unit's serial over its run's date and time, none touching
// another whatever the series' length, and every point named when hovered.

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>

#include "output/SpcPage.h"
#include "support/ChromiumPage.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

using nlohmann::json;

// "2026-12-01T06:00:00.000Z" and on, a unit every 37 minutes.
std::string StartOfUnit(std::size_t unit) {
    std::tm start{};
    start.tm_year = 2026 - 1900;
    start.tm_mon = 11;
    start.tm_mday = 1;
    start.tm_hour = 6;
    const std::time_t at = timegm(&start) + static_cast<std::time_t>(unit) * 37 * 60;
    std::tm shown{};
    gmtime_r(&at, &shown);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000Z", &shown);
    return text;
}

// Serials as long as a line's labels get ("LINE2-SN-000001"), each unit's
// attempt 1, 2 or 3 in turn, the values 0.50 to 0.54 s in turn.
JudgedSeries SeriesOf(std::size_t units) {
    JudgedSeries judged;
    judged.name = "TimeToOffA of " + std::to_string(units);
    judged.series.measurement = "TimeToOffA";
    judged.series.unit = "s";
    judged.series.max = 1.0;
    for (std::size_t i = 0; i < units; ++i) {
        char serial[32];
        std::snprintf(serial, sizeof serial, "LINE2-SN-%06zu", i + 1);
        const auto run = std::make_shared<const SeriesRun>(
            SeriesRun{"run-" + std::to_string(i), StartOfUnit(i), serial,
                      static_cast<std::int64_t>(i % 3 + 1), "", static_cast<std::int64_t>(i)});
        judged.series.points.push_back({run, 0.50 + 0.01 * static_cast<double>(i % 5)});
    }
    judged.baseline = Baseline{0.52, 0.01, 25};
    return judged;
}

// Per chart: its width, its tick labels as laid out ([left, top, right,
// bottom, text], serials first) and the titles of its points and bands.
constexpr const char* kChartsAsLaidOut = R"(
  [...document.querySelectorAll('svg.individuals')].map(svg => {
    const frame = svg.getBoundingClientRect();
    const box = t => { const r = t.getBoundingClientRect();
      return [r.left - frame.left, r.top - frame.top, r.right - frame.left,
              r.bottom - frame.top, t.textContent]; };
    return {width: frame.width,
            serials: [...svg.querySelectorAll('g.units text.serial')].map(box),
            whens: [...svg.querySelectorAll('g.units text.when')].map(box),
            titles: [...svg.querySelectorAll('circle.point > title, rect.band > title')]
                        .map(t => t.textContent)};
  }))";

bool Overlap(const json& a, const json& b) {
    return a[0].get<double>() < b[2].get<double>() && b[0].get<double>() < a[2].get<double>() &&
           a[1].get<double>() < b[3].get<double>() && b[1].get<double>() < a[3].get<double>();
}

TEST(SpcAxis, AHandfulOfDatedSerialsNeverOverlapAndEveryPointIsNamed) {
    ChromiumPage page(Chromium());
    ORVALT_NEED_PAGE(page);
    const std::vector<std::size_t> lengths{1, 2, 7, 60, 5000};
    std::vector<JudgedSeries> all;
    for (const std::size_t units : lengths) {
        all.push_back(SeriesOf(units));
    }
    TempFolder folder;
    const auto file = folder / "spc.html";
    std::ofstream(file) << SpcPageHtml("X100", {}, all);
    ASSERT_TRUE(page.Navigate("file://" + file.string()).Ok());
    const Result<json> charts = page.Evaluate(kChartsAsLaidOut);
    ASSERT_TRUE(charts.Ok()) << charts.Error();
    ASSERT_EQ(charts->size(), lengths.size());
    for (std::size_t c = 0; c < lengths.size(); ++c) {
        const json& chart = (*charts)[c];
        const std::size_t units = lengths[c];
        SCOPED_TRACE(std::to_string(units) + " units");
        const json& serials = chart["serials"];
        const json& whens = chart["whens"];
        ASSERT_EQ(serials.size(), whens.size());
        EXPECT_GE(serials.size(), std::min<std::size_t>(units, units >= 60 ? 4 : 2));
        EXPECT_LE(serials.size(), 6u);
        // The first and the last unit are always named.
        EXPECT_EQ(serials.front()[4], "LINE2-SN-000001 #1");
        EXPECT_EQ(whens.front()[4], "2026-12-01 06:00");
        std::vector<json> labels(serials.begin(), serials.end());
        labels.insert(labels.end(), whens.begin(), whens.end());
        for (std::size_t i = 0; i < labels.size(); ++i) {
            EXPECT_GE(labels[i][0].get<double>(), 0.0) << labels[i];
            EXPECT_LE(labels[i][2].get<double>(), chart["width"].get<double>()) << labels[i];
            for (std::size_t j = i + 1; j < labels.size(); ++j) {
                EXPECT_FALSE(Overlap(labels[i], labels[j])) << labels[i] << " " << labels[j];
            }
        }
    }
    // 60 units: the last, 59 * 37 minutes = 36 h 23 min on; 59 % 3 + 1 = 3,
    // 0.50 + 0.01 * (59 % 5) = 0.54.
    const json& sixty = (*charts)[3];
    EXPECT_EQ(sixty["serials"].back()[4], "LINE2-SN-000060 #3");
    EXPECT_EQ(sixty["whens"].back()[4], "2026-12-02 18:23");
    ASSERT_EQ(sixty["titles"].size(), 60u);
    EXPECT_EQ(sixty["titles"][59], "LINE2-SN-000060 #3, 2026-12-02 18:23:00 UTC: 0.54 s");
    EXPECT_EQ(sixty["titles"][0], "LINE2-SN-000001 #1, 2026-12-01 06:00:00 UTC: 0.50 s");
    // 5000 units, drawn in columns: named in bands of 50 units. The last
    // unit, 4999 * 37 minutes = 128 days 10 h 43 min on.
    const json& long_ = (*charts)[4];
    EXPECT_EQ(long_["whens"].back()[4], "2027-04-08 16:43");
    ASSERT_EQ(long_["titles"].size(), 100u);
    EXPECT_EQ(long_["titles"][0],
              "LINE2-SN-000001 #1 to LINE2-SN-000050 #2 (50 units), 2026-12-01 06:00:00 UTC to "
              "2026-12-02 12:13:00 UTC: 0.50 s to 0.54 s");
}

}  // namespace
}  // namespace orvalt::test
