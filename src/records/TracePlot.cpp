#include "records/TracePlot.h"

#include <algorithm>
#include <cstdio>

namespace orvalt {

namespace {

constexpr double kWidth = 900, kHeight = 320, kLeft = 50, kRight = 15, kTop = 15, kBottom = 35;
constexpr int kPowerLine = 4;

struct Frame {
    double t0 = 0, t1 = 1, v0 = 0, v1 = 1;

    double X(double seconds) const {
        return kLeft + (seconds - t0) / (t1 - t0) * (kWidth - kLeft - kRight);
    }
    double Y(double volts) const {
        return kHeight - kBottom - (volts - v0) / (v1 - v0) * (kHeight - kTop - kBottom);
    }
};

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

Frame FrameOf(const TracePlotInput& in) {
    Frame f{0, 0, 0, 1};
    for (const auto& r : in.readings) {
        f.t1 = std::max(f.t1, r.ms / 1000.0);
        f.t0 = std::min(f.t0, r.ms / 1000.0);
        f.v1 = std::max(f.v1, r.volts);
        f.v0 = std::min(f.v0, r.volts);
    }
    for (const auto& s : in.switches)
        f.t1 = std::max(f.t1, s.ms / 1000.0);
    for (const auto& c : in.crossings)
        f.t1 = std::max(f.t1, c.seconds);
    for (const auto& t : in.thresholds)
        f.v1 = std::max(f.v1, t.volts);
    if (f.t1 <= f.t0)
        f.t1 = f.t0 + 1;
    f.v1 *= 1.05;
    return f;
}

std::string Axes(const Frame& f) {
    std::string svg = "<g class=\"axes\" stroke=\"#444\">";
    svg += "<line x1=\"" + Number(kLeft) + "\" y1=\"" + Number(f.Y(f.v0)) + "\" x2=\"" +
           Number(kWidth - kRight) + "\" y2=\"" + Number(f.Y(f.v0)) + "\"/>";
    svg += "<line x1=\"" + Number(kLeft) + "\" y1=\"" + Number(kTop) + "\" x2=\"" + Number(kLeft) +
           "\" y2=\"" + Number(f.Y(f.v0)) + "\"/></g>";
    char text[160];
    std::snprintf(text, sizeof text,
                  "<text x=\"%.0f\" y=\"%.0f\" font-size=\"11\">%.1f s</text>"
                  "<text x=\"4\" y=\"%.0f\" font-size=\"11\">%.1f V</text>",
                  kWidth - kRight - 40, kHeight - 8, f.t1, kTop + 10, f.v1);
    svg += text;
    svg += "<text x=\"4\" y=\"" + Number(f.Y(f.v0)) + "\" font-size=\"11\">" + Number(f.v0) +
           " V</text>";
    svg += "<text x=\"" + Number(kLeft) + "\" y=\"" + Number(kHeight - 8) + "\" font-size=\"11\">" +
           Number(f.t0) + " s</text>";
    return svg;
}

std::string Switches(const Frame& f, const std::vector<LineSwitch>& switches) {
    std::string svg = "<g class=\"switches\">";
    for (const auto& s : switches) {
        const std::string x = Number(f.X(s.ms / 1000.0));
        const bool power = s.line == kPowerLine;
        svg += "<line class=\"" + std::string(power ? "power" : "marker") +
               (s.on ? " on" : " off") + "\" x1=\"" + x + "\" x2=\"" + x + "\" y1=\"" +
               Number(power ? kTop : f.Y(f.v0) - 8) + "\" y2=\"" + Number(f.Y(f.v0)) +
               "\" stroke=\"" + (s.on ? "#2a9d3f" : "#c0392b") + "\" stroke-dasharray=\"" +
               (power ? "4 3" : "1 0") + "\"/>";
    }
    return svg + "</g>";
}

std::string Thresholds(const Frame& f, const std::vector<PlotThreshold>& thresholds) {
    std::string svg = "<g class=\"thresholds\">";
    for (const auto& t : thresholds) {
        const std::string y = Number(f.Y(t.volts));
        svg += "<line x1=\"" + Number(kLeft) + "\" x2=\"" + Number(kWidth - kRight) + "\" y1=\"" +
               y + "\" y2=\"" + y + "\" stroke=\"#8e44ad\" stroke-dasharray=\"6 4\"/>";
        svg += "<text x=\"" + Number(kWidth - kRight - 120) + "\" y=\"" + y +
               "\" font-size=\"10\" fill=\"#8e44ad\">" + HtmlEscaped(t.label) + "</text>";
    }
    return svg + "</g>";
}

std::string Trace(const Frame& f, const std::vector<Reading>& readings) {
    std::string points;
    for (const auto& r : readings) {
        if (!points.empty())
            points += ' ';
        points += Number(f.X(r.ms / 1000.0)) + "," + Number(f.Y(r.volts));
    }
    return "<polyline class=\"trace\" data-points=\"" + std::to_string(readings.size()) +
           "\" fill=\"none\" stroke=\"#1f5fa8\" stroke-width=\"1.2\" points=\"" + points + "\"/>";
}

std::string Crossings(const Frame& f, const std::vector<PlotCrossing>& crossings) {
    std::string svg = "<g class=\"crossings\">";
    for (const auto& c : crossings) {
        const std::string x = Number(f.X(c.seconds)), y = Number(f.Y(c.volts));
        svg += "<circle cx=\"" + x + "\" cy=\"" + y + "\" r=\"4\" fill=\"#e67e22\"><title>" +
               HtmlEscaped(c.label) + "</title></circle>";
        svg += "<text x=\"" + x + "\" y=\"" + y + "\" dx=\"5\" dy=\"-5\" font-size=\"10\">" +
               HtmlEscaped(c.label) + "</text>";
    }
    return svg + "</g>";
}

std::optional<double> Figure(const std::vector<NamedMeasurement>& rows, const std::string& name) {
    for (const auto& m : rows)
        if (m.name == name)
            return m.value;
    return std::nullopt;
}

std::optional<double> ThresholdVolts(const std::vector<PlotThreshold>& rows,
                                     const std::string& label) {
    for (const auto& t : rows)
        if (t.label == label)
            return t.volts;
    return std::nullopt;
}

}  // namespace

std::string HtmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::vector<PlotCrossing> CrossingsOf(const std::vector<LineSwitch>& switches,
                                      const std::vector<NamedMeasurement>& measurements,
                                      const std::vector<PlotThreshold>& thresholds) {
    std::optional<double> firstOn, lastOff;
    for (const auto& s : switches) {
        if (s.line != kPowerLine)
            continue;
        if (s.on && !firstOn)
            firstOn = s.ms / 1000.0;
        if (!s.on)
            lastOff = s.ms / 1000.0;
    }
    std::vector<PlotCrossing> crossings;
    const auto add = [&](const char* figure, const char* label, const char* threshold,
                         std::optional<double> from) {
        const auto seconds = Figure(measurements, figure);
        const auto volts = ThresholdVolts(thresholds, threshold);
        if (from && seconds && volts && *seconds > 0)
            crossings.push_back({label, *from + *seconds, *volts});
    };
    add("TimeToOn", "Time To ON", "VoltageOn", firstOn);
    add("TimeToOffA", "Time To OFF A", "VoltageOffA", lastOff);
    add("TimeToOffB", "Time To OFF B", "VoltageOffB", lastOff);
    return crossings;
}

std::string TracePlotSvg(const TracePlotInput& input) {
    const Frame f = FrameOf(input);
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"plot\" width=\"" + Number(kWidth) +
           "\" height=\"" + Number(kHeight) + "\" viewBox=\"0 0 " + Number(kWidth) + " " +
           Number(kHeight) + "\">" + Axes(f) + Thresholds(f, input.thresholds) +
           Switches(f, input.switches) + Trace(f, input.readings) + Crossings(f, input.crossings) +
           "</svg>";
}

}  // namespace orvalt
