#include "output/TraceSvg.h"

#include <algorithm>
#include <cstdio>

#include "domain/FormatFixed.h"
#include "output/HtmlEscaped.h"
#include "output/SvgNumber.h"
#include "plot/AxisTicks.h"
#include "plot/CrossingMarks.h"
#include "plot/LightPlotModel.h"
#include "plot/TraceGaps.h"
#include "plot/TraceLabels.h"

namespace orvalt {

namespace {

// Wide and low: five tests' traces at the page's width fit an A4 sheet.
constexpr double kWidth = 900, kHeight = 250, kLeft = 62, kRight = 15, kTop = 12, kBottom = 33;
constexpr double kFontSize = 10, kLineHeight = 12;
// An SVG renderer's sans-serif at 10 px is at most this wide per character.
constexpr double kCharWidth = 6.2;

std::string ColourOf(Figure figure) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(MarkColour(figure)));
    return text;
}

std::string Line(double x1, double y1, double x2, double y2, const std::string& attributes) {
    return "<line " + attributes + " x1=\"" + SvgNumber(x1) + "\" y1=\"" + SvgNumber(y1) +
           "\" x2=\"" + SvgNumber(x2) + "\" y2=\"" + SvgNumber(y2) + "\"/>";
}

std::string Text(double x, double y, const std::string& text, const std::string& attributes) {
    return "<text x=\"" + SvgNumber(x) + "\" y=\"" + SvgNumber(y) + "\" font-size=\"" +
           SvgNumber(kFontSize) + "\" " + attributes + ">" + HtmlEscaped(text) + "</text>";
}

std::string Axes(const PlotMapping& map) {
    const PixelBox& area = map.Area();
    const PlotRange& range = map.Range();
    const auto xs = AxisTicks(range.xMin, range.xMax, static_cast<int>(area.width / 70));
    const auto ys = AxisTicks(range.yMin, range.yMax, static_cast<int>(area.height / 30));
    std::string svg = "<g class=\"axes\">";
    for (const double x : xs) {
        svg += Line(map.X(x), area.top, map.X(x), area.Bottom(), "stroke=\"#e0e0e0\"");
        svg += Text(map.X(x), area.Bottom() + 13, FormatFixed(x, TickDecimals(xs)),
                    "text-anchor=\"middle\"");
    }
    for (const double y : ys) {
        svg += Line(area.left, map.Y(y), area.Right(), map.Y(y), "stroke=\"#e0e0e0\"");
        svg += Text(area.left - 4, map.Y(y) + 3, FormatFixed(y, TickDecimals(ys)),
                    "text-anchor=\"end\"");
    }
    svg += "<rect x=\"" + SvgNumber(area.left) + "\" y=\"" + SvgNumber(area.top) + "\" width=\"" +
           SvgNumber(area.width) + "\" height=\"" + SvgNumber(area.height) +
           "\" fill=\"none\" stroke=\"#444\"/>";
    svg += Text(area.left + area.width / 2, area.Bottom() + 27,
                "time since the test's first power switch (s)", "text-anchor=\"middle\"");
    const std::string middle = SvgNumber(area.top + area.height / 2);
    svg += Text(14, area.top + area.height / 2, "light level (V)",
                "text-anchor=\"middle\" transform=\"rotate(-90 14 " + middle + ")\"");
    return svg + "</g>";
}

std::string Levels(const PlotMapping& map, const ThresholdLevels& levels) {
    const PixelBox& area = map.Area();
    std::string svg = "<g class=\"thresholds\">";
    for (const LevelLine& line : LevelLines(levels)) {
        svg += Line(area.left, map.Y(line.volts), area.Right(), map.Y(line.volts),
                    "stroke=\"" + ColourOf(line.figure) + "\" stroke-dasharray=\"6 4\"");
    }
    return svg + "</g>";
}

std::string Switches(const PlotMapping& map, const TestTrace& trace) {
    std::string svg = "<g class=\"switches\">";
    for (const SwitchMark& mark : trace.switches) {
        const double x = map.X(mark.seconds);
        svg += Line(x, map.Area().top, x, map.Area().Bottom(),
                    std::string("class=\"power ") + (mark.on ? "on" : "off") +
                        "\" stroke=\"#757575\" stroke-dasharray=\"2 2\"");
    }
    return svg + "</g>";
}

// How a trace's readings are drawn: the run's own in blue, a reference's
// beneath in the window's grey for the previous test.
struct TraceLook {
    const char* line;  // the polyline's class
    const char* dot;   // a lone reading's
    const char* colour;
    const char* width;
};
constexpr TraceLook kOwnLook{"trace", "reading", "#1565c0", "1.2"};
// Wider than the run's own line, so that where the two agree it shows as a
// grey edge along the blue.
constexpr TraceLook kReferenceLook{"reference", "reference-reading", "#90a4ae", "2.6"};

std::string Stretch(const PlotMapping& map, std::span<const PlotPoint> points,
                    const TraceLook& look) {
    if (points.size() == 1) {
        return std::string("<circle class=\"") + look.dot + "\" cx=\"" +
               SvgNumber(map.X(points[0].seconds)) + "\" cy=\"" +
               SvgNumber(map.Y(points[0].volts)) + "\" r=\"1.8\" fill=\"" + look.colour + "\"/>";
    }
    std::string line;
    for (const PlotPoint& point : points) {
        // Appended piece by piece: GCC 12 at -O3 takes "lit" + text for an
        // overlapping copy (-Wrestrict).
        if (!line.empty()) {
            line += ' ';
        }
        line += SvgNumber(map.X(point.seconds));
        line += ',';
        line += SvgNumber(map.Y(point.volts));
    }
    return std::string("<polyline class=\"") + look.line + "\" fill=\"none\" stroke=\"" +
           look.colour + "\" stroke-width=\"" + look.width + "\" points=\"" + line + "\"/>";
}

std::string Readings(const PlotMapping& map, const TestTrace& trace, const TraceLook& look,
                     const char* group) {
    std::string svg = std::string("<g class=\"") + group + "\" data-points=\"" +
                      std::to_string(trace.readings.size()) + "\">";
    for (const auto stretch : Stretches(trace.readings)) {
        svg += Stretch(map, stretch, look);
    }
    return svg + "</g>";
}

std::string Marks(const PlotMapping& map, const TestTrace& trace) {
    std::string svg = "<g class=\"crossings\">";
    for (const CrossingMark& mark : trace.crossings) {
        svg += "<circle class=\"mark\" data-figure=\"" + NameOf(mark.figure).name + "\" cx=\"" +
               SvgNumber(map.X(mark.seconds)) + "\" cy=\"" + SvgNumber(map.Y(mark.volts)) +
               "\" r=\"5\" fill=\"none\" stroke-width=\"2\" stroke=\"" + ColourOf(mark.figure) +
               "\"/>";
    }
    return svg + "</g>";
}

std::string Labels(const PlotMapping& map, const TestTrace& trace, const ThresholdLevels& levels) {
    const auto widthOf = [](const std::string& text) {
        return kCharWidth * static_cast<double>(text.size());
    };
    std::string svg = "<g class=\"labels\">";
    for (const PlotLabel& label : PlacedLabels(trace, levels, map, widthOf, kLineHeight)) {
        const std::string fill = label.kind == LabelKind::Switch ? "#555" : ColourOf(label.figure);
        svg += Text(label.box.left, label.box.top + kLineHeight - 2, label.text,
                    "class=\"label\" fill=\"" + fill + "\"");
    }
    return svg + "</g>";
}

}  // namespace

std::string TraceSvg(const TestTrace& trace, const ThresholdLevels& levels,
                     const TestTrace* reference) {
    const PlotMapping map(
        {kLeft, kTop, kWidth - kLeft - kRight, kHeight - kTop - kBottom},
        reference ? RangeOf({&trace, reference}, levels) : RangeOf({&trace}, levels));
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"plot\" width=\"" + SvgNumber(kWidth) +
           "\" height=\"" + SvgNumber(kHeight) + "\" viewBox=\"0 0 " + SvgNumber(kWidth) + " " +
           SvgNumber(kHeight) + "\">" + Axes(map) + Levels(map, levels) + Switches(map, trace) +
           (reference ? Readings(map, *reference, kReferenceLook, "reference-readings") : "") +
           Readings(map, trace, kOwnLook, "readings") + Marks(map, trace) +
           Labels(map, trace, levels) + "</svg>";
}

}  // namespace orvalt
