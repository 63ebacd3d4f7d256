#include "output/ParetoChart.h"

#include <algorithm>

#include "output/HtmlEscaped.h"
#include "output/SvgNumber.h"

namespace orvalt {

namespace {

constexpr double kWidth = 640.0, kHeight = 240.0;
constexpr double kLeft = 48.0, kRight = 48.0, kTop = 12.0, kBottom = 28.0;
constexpr double kPlotWidth = kWidth - kLeft - kRight, kPlotHeight = kHeight - kTop - kBottom;

// The reasons drawn: the first bars as they are, the rest summed up.
std::vector<FailureReason> Bars(const std::vector<FailureReason>& reasons) {
    if (reasons.size() <= kParetoBars) {
        return reasons;
    }
    std::vector<FailureReason> bars(reasons.begin(), reasons.begin() + kParetoBars - 1);
    FailureReason other{"other reasons", 0};
    for (std::size_t i = kParetoBars - 1; i < reasons.size(); ++i) {
        other.runs += reasons[i].runs;
    }
    bars.push_back(other);
    return bars;
}

// The width a character of the labels' 11 px type takes, about.
constexpr double kLabelCharWidth = 6.2;

// `words` cut to `most` characters, the last of them an ellipsis, where they
// are longer; never within a UTF-8 character.
std::string Shortened(const std::string& words, std::size_t most) {
    if (words.size() <= most || most == 0) {
        return words;
    }
    std::size_t end = most - 1;
    while (end > 0 && (static_cast<unsigned char>(words[end]) & 0xC0) == 0x80) {
        --end;
    }
    return words.substr(0, end) + "\u2026";
}

// Labelled by the reason's words, cut to what the bar's slot holds; the
// whole words come up over the bar and over its label.
std::string Bar(const FailureReason& reason, std::size_t index, double slot, double tallest) {
    const double height = kPlotHeight * static_cast<double>(reason.runs) / tallest;
    const double x = kLeft + slot * static_cast<double>(index) + slot * 0.15;
    const std::string words = HtmlEscaped(reason.reason);
    const auto fits = static_cast<std::size_t>(slot * 0.95 / kLabelCharWidth);
    return std::string("<rect class=\"bar\"")
        .append(SvgAttribute("x", x))
        .append(SvgAttribute("y", kTop + kPlotHeight - height))
        .append(SvgAttribute("width", slot * 0.7))
        .append(SvgAttribute("height", height))
        .append("><title>")
        .append(words)
        .append(": ")
        .append(std::to_string(reason.runs))
        .append("</title></rect><text text-anchor=\"middle\"")
        .append(SvgAttribute("x", x + slot * 0.35))
        .append(SvgAttribute("y", kHeight - 10))
        .append("><title>")
        .append(words)
        .append("</title>")
        .append(HtmlEscaped(Shortened(reason.reason, fits)))
        .append("</text>");
}

std::string CumulativeLine(const std::vector<FailureReason>& bars, double slot,
                           std::int64_t total) {
    std::string path = "<path class=\"cumulative\" d=\"";
    std::string points;
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < bars.size(); ++i) {
        sum += bars[i].runs;
        const double x = kLeft + slot * (static_cast<double>(i) + 0.5);
        const double y =
            kTop + kPlotHeight * (1.0 - static_cast<double>(sum) / static_cast<double>(total));
        path.append(i == 0 ? "M" : "L").append(SvgNumber(x)).append(",").append(SvgNumber(y));
        points.append("<circle class=\"cumulative\" r=\"3\"")
            .append(SvgAttribute("cx", x))
            .append(SvgAttribute("cy", y))
            .append("/>");
    }
    return path.append("\"/>").append(points);
}

std::string Axes(std::int64_t tallest) {
    return std::string("<rect class=\"frame\"")
        .append(SvgAttribute("x", kLeft))
        .append(SvgAttribute("y", kTop))
        .append(SvgAttribute("width", kPlotWidth))
        .append(SvgAttribute("height", kPlotHeight))
        .append("/><text text-anchor=\"end\"")
        .append(SvgAttribute("x", kLeft - 6))
        .append(SvgAttribute("y", kTop + 10))
        .append(">")
        .append(std::to_string(tallest))
        .append("</text><text text-anchor=\"end\"")
        .append(SvgAttribute("x", kLeft - 6))
        .append(SvgAttribute("y", kTop + kPlotHeight))
        .append(">0</text><text")
        .append(SvgAttribute("x", kLeft + kPlotWidth + 6))
        .append(SvgAttribute("y", kTop + 10))
        .append(">100 %</text><text")
        .append(SvgAttribute("x", kLeft + kPlotWidth + 6))
        .append(SvgAttribute("y", kTop + kPlotHeight))
        .append(">0 %</text>");
}

}  // namespace

std::string ParetoSvg(const std::vector<FailureReason>& reasons) {
    const std::vector<FailureReason> bars = Bars(reasons);
    std::int64_t total = 0, tallest = 0;
    for (const FailureReason& reason : bars) {
        total += std::max<std::int64_t>(reason.runs, 0);
        tallest = std::max(tallest, reason.runs);
    }
    if (bars.empty() || total <= 0) {
        return {};
    }
    const double slot = kPlotWidth / static_cast<double>(bars.size());
    std::string svg = std::string("<svg class=\"pareto\" xmlns=\"http://www.w3.org/2000/svg\"")
                          .append(SvgAttribute("width", kWidth))
                          .append(SvgAttribute("height", kHeight))
                          .append(" role=\"img\" aria-label=\"Failure reasons, most runs first\">")
                          .append(Axes(tallest));
    for (std::size_t i = 0; i < bars.size(); ++i) {
        svg += Bar(bars[i], i, slot, static_cast<double>(tallest));
    }
    return svg.append(CumulativeLine(bars, slot, total)).append("</svg>");
}

}  // namespace orvalt
