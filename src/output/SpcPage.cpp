#include "output/SpcPage.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "output/HtmlEscaped.h"
#include "output/HtmlParts.h"
#include "output/PageStyle.h"
#include "output/SpcText.h"
#include "output/SvgNumber.h"
#include "verdict/ShownNumber.h"

namespace orvalt {

namespace {

constexpr const char* kBodyStyle = "body{font-family:sans-serif;margin:24px;color:#222}";

constexpr double kChartWidth = 980.0;
constexpr double kLeft = 80.0;
constexpr double kTop = 14.0;
constexpr double kPlotWidth = kSpcChartColumns;
constexpr double kChartHeight = 320.0;
constexpr double kPlotHeight = 270.0;

// The values' range widened to hold the baseline's 3 sigma lines and the
// limits, with a margin.
struct Range {
    double low = 0.0, high = 1.0;
    double Y(double value) const { return kTop + kPlotHeight * (high - value) / (high - low); }
};

Range RangeOf(const JudgedSeries& judged) {
    double low = INFINITY, high = -INFINITY;
    const auto widen = [&low, &high](double value) {
        if (std::isfinite(value)) {
            low = std::min(low, value);
            high = std::max(high, value);
        }
    };
    for (const SeriesPoint& point : judged.series.points) {
        widen(point.value);
    }
    if (judged.baseline) {
        widen(judged.baseline->centre - 3.0 * judged.baseline->sigma);
        widen(judged.baseline->centre + 3.0 * judged.baseline->sigma);
    }
    if (judged.series.min) {
        widen(*judged.series.min);
    }
    if (judged.series.max) {
        widen(*judged.series.max);
    }
    if (!(high > low)) {
        const double half = std::max(std::fabs(low) * 0.01, judged.ShownAs().Step());
        return {low - half, low + half};
    }
    const double margin = (high - low) * 0.05;
    return {low - margin, high + margin};
}

double UnitX(std::size_t unit, std::size_t units) {
    return kLeft + kPlotWidth * (static_cast<double>(unit) + 0.5) / static_cast<double>(units);
}

// The chart's horizontal lines, each with its label at the right unless an
// earlier one sits too close: the limits first, then the centre, then the
// sigma lines from 3 in, so crowded lines keep the labels that matter most.
class HorizontalLines {
  public:
    explicit HorizontalLines(const Range& range) : range_(range) {}

    void Add(double value, const char* look, const std::string& label) {
        const double y = range_.Y(value);
        svg_.append("<line class=\"")
            .append(look)
            .append("\"")
            .append(SvgAttribute("x1", kLeft))
            .append(SvgAttribute("x2", kLeft + kPlotWidth))
            .append(SvgAttribute("y1", y))
            .append(SvgAttribute("y2", y))
            .append("/>");
        const bool crowded = std::any_of(labelled_.begin(), labelled_.end(),
                                         [y](double other) { return std::fabs(other - y) < 11.0; });
        if (crowded) {
            return;
        }
        labelled_.push_back(y);
        svg_.append("<text")
            .append(SvgAttribute("x", kLeft + kPlotWidth + 4))
            .append(SvgAttribute("y", y + 4))
            .append(">")
            .append(HtmlEscaped(label))
            .append("</text>");
    }

    const std::string& Svg() const { return svg_; }

  private:
    const Range& range_;
    std::vector<double> labelled_;
    std::string svg_;
};

void AddLimitLines(const JudgedSeries& judged, HorizontalLines& lines) {
    const int decimals = judged.series.decimals;
    if (judged.series.max) {
        lines.Add(*judged.series.max, "limit",
                  std::string("max ").append(ShownText(*judged.series.max, decimals)));
    }
    if (judged.series.min) {
        lines.Add(*judged.series.min, "limit",
                  std::string("min ").append(ShownText(*judged.series.min, decimals)));
    }
}

void AddSigmaLines(const JudgedSeries& judged, HorizontalLines& lines) {
    if (!judged.baseline) {
        return;
    }
    const Baseline& baseline = *judged.baseline;
    lines.Add(baseline.centre, "centre",
              std::string("centre ").append(SpcNumber(baseline.centre, judged.series.decimals)));
    for (int k = 3; k >= 1; --k) {
        const std::string sigmas = std::to_string(k);
        const char* look = k == 3 ? "sigma3" : "sigma";
        lines.Add(baseline.centre + k * baseline.sigma, look,
                  std::string("+").append(sigmas).append(" sigma"));
        lines.Add(baseline.centre - k * baseline.sigma, look,
                  std::string("-").append(sigmas).append(" sigma"));
    }
}

// Every point while they fit one per column; past that each column as the
// span of its values: one path either way.
std::string ValuesPath(const JudgedSeries& judged, const Range& range) {
    const auto& points = judged.series.points;
    const std::size_t units = points.size();
    std::string path = "<path class=\"values\" d=\"";
    if (units <= static_cast<std::size_t>(kSpcChartColumns)) {
        for (std::size_t i = 0; i < units; ++i) {
            path.append(i == 0 ? "M" : "L")
                .append(SvgNumber(UnitX(i, units)))
                .append(",")
                .append(SvgNumber(range.Y(points[i].value)));
        }
        path += "\"/>";
        for (std::size_t i = 0; i < units; ++i) {
            path.append("<circle class=\"point\" r=\"2\"")
                .append(SvgAttribute("cx", UnitX(i, units)))
                .append(SvgAttribute("cy", range.Y(points[i].value)))
                .append("/>");
        }
        return path;
    }
    for (int column = 0; column < kSpcChartColumns; ++column) {
        const std::size_t from = units * static_cast<std::size_t>(column) / kSpcChartColumns;
        const std::size_t to = units * static_cast<std::size_t>(column + 1) / kSpcChartColumns;
        double low = INFINITY, high = -INFINITY;
        for (std::size_t i = from; i < to; ++i) {
            low = std::min(low, points[i].value);
            high = std::max(high, points[i].value);
        }
        if (!std::isfinite(low) || !std::isfinite(high)) {
            continue;
        }
        const double x = kLeft + column + 0.5;
        path.append("M")
            .append(SvgNumber(x))
            .append(",")
            .append(SvgNumber(range.Y(high) - 0.5))
            .append("V")
            .append(SvgNumber(range.Y(low) + 0.5));
    }
    return path + "\"/>";
}

// One mark per spot hit: hits closer than a few pixels share it.
std::string HitMarks(const JudgedSeries& judged, const Range& range) {
    const auto& points = judged.series.points;
    std::set<std::pair<long, long>> marked;
    std::string marks;
    for (const RuleHit& hit : judged.hits) {
        const double x = UnitX(hit.unit, points.size());
        const double y = range.Y(points[hit.unit].value);
        if (!marked.insert({std::lround(x / 3.0), std::lround(y / 3.0)}).second) {
            continue;
        }
        marks.append("<circle class=\"hit\" r=\"4\"")
            .append(SvgAttribute("cx", x))
            .append(SvgAttribute("cy", y))
            .append("/>");
    }
    return marks;
}

std::string UnitAxis(const JudgedSeries& judged) {
    const auto& points = judged.series.points;
    const double y = kTop + kPlotHeight + 16.0;
    std::string axis = std::string("<text class=\"first\"")
                           .append(SvgAttribute("x", kLeft))
                           .append(SvgAttribute("y", y))
                           .append(">")
                           .append(HtmlEscaped(PointLabel(points.front())))
                           .append("</text>");
    return axis.append("<text class=\"last\" text-anchor=\"end\"")
        .append(SvgAttribute("x", kLeft + kPlotWidth))
        .append(SvgAttribute("y", y))
        .append(">")
        .append(HtmlEscaped(PointLabel(points.back())))
        .append(" (")
        .append(std::to_string(points.size()))
        .append(" units)</text>");
}

std::string ValueAxis(const JudgedSeries& judged, const Range& range) {
    const int decimals = judged.series.decimals;
    std::string axis;
    for (const double value : {range.high, range.low}) {
        axis.append("<text text-anchor=\"end\"")
            .append(SvgAttribute("x", kLeft - 6))
            .append(SvgAttribute("y", range.Y(value) + 4))
            .append(">")
            .append(HtmlEscaped(ShownText(value, decimals)))
            .append("</text>");
    }
    return axis;
}

const std::string& ChartStyle() {
    static const std::string style = WithVerdictColours(
        "<style>.values{fill:none;stroke:#1f5fbf;stroke-width:1}.point{fill:#1f5fbf}"
        ".hit{fill:none;stroke:$fail;stroke-width:2}.centre{stroke:$pass;stroke-width:1.5}"
        ".sigma{stroke:#999;stroke-dasharray:2 3}.sigma3{stroke:$error;stroke-dasharray:6 3}"
        ".limit{stroke:$fail;stroke-width:1.5}.frame{fill:none;stroke:#bbb}"
        ".bar{fill:#8fb3e6;stroke:#1f5fbf}</style>");
    return style;
}

std::string Svg(const char* look, double height, const std::string& body) {
    return std::string("<svg class=\"")
        .append(look)
        .append("\" xmlns=\"http://www.w3.org/2000/svg\"")
        .append(SvgAttribute("width", kChartWidth))
        .append(SvgAttribute("height", height))
        .append(">")
        .append(ChartStyle())
        .append("<rect class=\"frame\"")
        .append(SvgAttribute("x", kLeft))
        .append(SvgAttribute("y", kTop))
        .append(SvgAttribute("width", kPlotWidth))
        .append(SvgAttribute("height", kPlotHeight))
        .append("/>")
        .append(body)
        .append("</svg>");
}

std::string ChartLines(const JudgedSeries& judged, const Range& range) {
    HorizontalLines lines(range);
    AddLimitLines(judged, lines);
    AddSigmaLines(judged, lines);
    return lines.Svg();
}

std::string IndividualsChart(const JudgedSeries& judged) {
    const Range range = RangeOf(judged);
    return Svg("individuals", kChartHeight,
               ChartLines(judged, range) + ValuesPath(judged, range) + HitMarks(judged, range) +
                   UnitAxis(judged) + ValueAxis(judged, range));
}

// The histogram lies on its side's scale turned: values along the bottom, the
// limits and the centre as upright lines.
std::string Histogram(const JudgedSeries& judged) {
    constexpr int kBins = 40;
    const Range range = RangeOf(judged);
    const double width = range.high - range.low;
    std::vector<std::size_t> counts(kBins, 0);
    for (const SeriesPoint& point : judged.series.points) {
        const double at = (point.value - range.low) / width * kBins;
        if (std::isfinite(at)) {
            counts[static_cast<std::size_t>(std::clamp(at, 0.0, kBins - 1.0))] += 1;
        }
    }
    const double tallest = static_cast<double>(*std::max_element(counts.begin(), counts.end()));
    const auto x = [&](double value) { return kLeft + kPlotWidth * (value - range.low) / width; };
    std::string body;
    for (int bin = 0; bin < kBins; ++bin) {
        if (counts[bin] == 0) {
            continue;
        }
        const double height = kPlotHeight * static_cast<double>(counts[bin]) / tallest;
        body.append("<rect class=\"bar\"")
            .append(SvgAttribute("x", kLeft + kPlotWidth * bin / kBins))
            .append(SvgAttribute("y", kTop + kPlotHeight - height))
            .append(SvgAttribute("width", kPlotWidth / kBins))
            .append(SvgAttribute("height", height))
            .append("/>");
    }
    const int decimals = judged.series.decimals;
    const auto upright = [&](double value, const char* look, const std::string& label) {
        return std::string("<line class=\"")
            .append(look)
            .append("\"")
            .append(SvgAttribute("x1", x(value)))
            .append(SvgAttribute("x2", x(value)))
            .append(SvgAttribute("y1", kTop))
            .append(SvgAttribute("y2", kTop + kPlotHeight))
            .append("/><text text-anchor=\"middle\"")
            .append(SvgAttribute("x", x(value)))
            .append(SvgAttribute("y", kTop + kPlotHeight + 16))
            .append(">")
            .append(HtmlEscaped(label))
            .append("</text>");
    };
    if (judged.series.min) {
        body += upright(*judged.series.min, "limit",
                        std::string("min ").append(ShownText(*judged.series.min, decimals)));
    }
    if (judged.series.max) {
        body += upright(*judged.series.max, "limit",
                        std::string("max ").append(ShownText(*judged.series.max, decimals)));
    }
    if (judged.baseline) {
        body += upright(judged.baseline->centre, "centre", "centre");
    }
    body.append("<text text-anchor=\"end\"")
        .append(SvgAttribute("x", kLeft - 6))
        .append(SvgAttribute("y", kTop + 10))
        .append(">")
        .append(std::to_string(static_cast<std::size_t>(tallest)))
        .append("</text>");
    return Svg("histogram", kChartHeight, body);
}

std::string HitList(const JudgedSeries& judged) {
    const std::vector<HitRun> runs = HitRuns(judged.hits);
    if (runs.empty()) {
        return judged.baseline ? "<p class=\"note\">No rule broken.</p>" : std::string();
    }
    const auto& points = judged.series.points;
    std::string list =
        "<table class=\"hits\"><tr><th>Unit</th><th>Rule</th><th>What</th><th>On to</th></tr>";
    for (std::size_t i = 0; i < runs.size() && i < kSpcListedRuns; ++i) {
        const HitRun& run = runs[i];
        list.append("<tr>")
            .append(Cell(PointLabel(points[run.first.unit])))
            .append(Cell(std::to_string(run.first.rule), "num"))
            .append(Cell(RuleHitText(run.first)))
            .append(Cell(run.units > 1 ? PointLabel(points[run.lastUnit])
                                             .append(" (")
                                             .append(std::to_string(run.units))
                                             .append(" units)")
                                       : std::string()))
            .append("</tr>");
    }
    list += "</table>";
    if (runs.size() > kSpcListedRuns) {
        list.append("<p class=\"note\">")
            .append(std::to_string(runs.size() - kSpcListedRuns))
            .append(" more runs of hits: orvalt-cli spc lists them all.</p>");
    }
    return list;
}

// An index in red where it is below the floor or held at the ceiling.
std::string IndexCell(const JudgedSeries& judged, const std::optional<CapabilityIndex>& index) {
    const bool low = IndexLow(judged.spread, index) || (index && index->capped);
    return Cell(SpcIndex(index), low ? "low" : "num");
}

std::string OutOfLimitsCell(const JudgedSeries& judged) {
    if (!judged.series.min && !judged.series.max) {
        return Cell("-", "num");
    }
    return Cell(OutOfLimitsText(judged), judged.capability.outside.Count() > 0 ? "low" : "num");
}

std::string CapabilityRow(const JudgedSeries& judged) {
    const int decimals = judged.series.decimals;
    const Spread& spread = judged.spread;
    const Capability& capability = judged.capability;
    const std::string within = SpcNumber(spread.sigmaWithin, decimals);
    return std::string("<tr>")
        .append(Cell(judged.name))
        .append(Cell(std::to_string(judged.series.testIndex + 1), "num"))
        .append(Cell(judged.series.unit))
        .append(Cell(std::to_string(spread.n), "num"))
        .append(Cell(SpcNumber(spread.mean, decimals), "num"))
        .append(Cell(CoarseWithinText(judged).empty() ? within : within + " (too coarse)", "num"))
        .append(Cell(SpcNumber(spread.sigmaOverall, decimals), "num"))
        .append(IndexCell(judged, capability.cp))
        .append(IndexCell(judged, capability.cpk))
        .append(IndexCell(judged, capability.pp))
        .append(IndexCell(judged, capability.ppk))
        .append(OutOfLimitsCell(judged))
        .append(Cell(std::to_string(judged.hits.size()), "num"))
        .append("</tr>");
}

std::string CapabilityTable(const std::vector<JudgedSeries>& all) {
    std::string table =
        "<table class=\"capability\"><tr><th>Series</th><th>Test</th><th>Unit</th><th>n</th>"
        "<th>Mean</th><th>Sigma within</th><th>Sigma overall</th><th>Cp</th><th>Cpk</th>"
        "<th>Pp</th><th>Ppk</th><th>Out of limits</th><th>Rule hits</th></tr>";
    for (const JudgedSeries& judged : all) {
        table += CapabilityRow(judged);
    }
    return table + "</table>";
}

std::string SeriesSection(const JudgedSeries& judged) {
    std::string section = std::string("<section class=\"series\"><h2>")
                              .append(HtmlEscaped(judged.name))
                              .append("</h2>");
    if (judged.capabilityLow) {
        section.append("<p class=\"flag\">")
            .append(HtmlEscaped(CapabilityLowText(judged)))
            .append(".</p>");
    }
    if (std::string coarse = CoarseWithinText(judged); !coarse.empty()) {
        coarse.front() = 'S';  // "sigma within ...", opening a sentence
        section.append("<p class=\"note\">").append(HtmlEscaped(coarse)).append(".</p>");
    }
    return section.append("<p class=\"note\">")
        .append("Baseline: ")
        .append(HtmlEscaped(BaselineText(judged)))
        .append(".")
        .append("</p>")
        .append(IndividualsChart(judged))
        .append(Histogram(judged))
        .append(HitList(judged))
        .append("</section>");
}

std::string WindowText(const SeriesWindow& window) {
    if (window.last) {
        return std::string("the newest ").append(std::to_string(*window.last)).append(" runs");
    }
    if (window.first) {
        return std::string("the first ").append(std::to_string(*window.first)).append(" runs");
    }
    if (window.since) {
        return std::string("runs since ").append(*window.since);
    }
    return "every run";
}

}  // namespace

const std::string& SpcChartsStyle() {
    static const std::string style =
        TableRules() +
        WithVerdictColours(
            "td.num{text-align:right}"
            "td.low{color:$fail;font-weight:bold}section.series{margin-top:28px}"
            "svg{display:block;margin:6px 0;break-inside:avoid}svg text{font-size:11px;fill:#333}"
            ".flag{color:$fail;font-weight:bold}.note{color:#555;font-size:13px}"
            "tr,svg{break-inside:avoid;page-break-inside:avoid}");
    return style;
}

std::string SpcCharts(const SeriesWindow& window, const std::vector<JudgedSeries>& all) {
    std::string charts = std::string("<p class=\"note\">")
                             .append(HtmlEscaped(WindowText(window)))
                             .append(
                                 ", each completed test's measurement a unit, in the order the "
                                 "runs started.</p>")
                             .append(CapabilityTable(all));
    for (const JudgedSeries& judged : all) {
        charts += SeriesSection(judged);
    }
    return charts;
}

std::string SpcPageHtml(const std::string& model, const SeriesWindow& window,
                        const std::vector<JudgedSeries>& all) {
    const std::string title = HtmlEscaped(std::string("Drift of ").append(model));
    return std::string("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>")
        .append(title)
        .append("</title><style>")
        .append(kBodyStyle)
        .append(SpcChartsStyle())
        .append("</style></head><body><h1>")
        .append(title)
        .append("</h1>")
        .append(SpcCharts(window, all))
        .append("</body></html>");
}

}  // namespace orvalt
