#pragma once
// A model's drift as one self-contained HTML page, like a run's report: no
// scripts, no links out, the charts inline SVG. Per series an individuals
// chart (values, centre, 1, 2 and 3 sigma lines, the limits, every rule hit
// marked) and a histogram against the limits, then the hits listed; a table
// of every series' capability on top.
//
// A chart stays small whatever the series' length: past one point per pixel
// column a column is drawn as the span of its values, and hits that fall on
// one spot share one mark.

#include <string>
#include <vector>

#include "spc/Spc.h"

namespace orvalt {

// The drawing width of a chart: the most columns of points it draws.
inline constexpr int kSpcChartColumns = 800;
// The most rows of hits a series' list shows; the terminal shows them all.
inline constexpr std::size_t kSpcListedRuns = 1000;

std::string SpcPageHtml(const std::string& model, const SeriesWindow& window,
                        const std::vector<JudgedSeries>& all);

// The same charts for a page that frames them itself: what the page holds
// below its title (the window, the capability table, a section per series),
// and the style rules they need beside the page's own.
std::string SpcCharts(const SeriesWindow& window, const std::vector<JudgedSeries>& all);
const std::string& SpcChartsStyle();

}  // namespace orvalt
