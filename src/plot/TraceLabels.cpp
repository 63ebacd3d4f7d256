#include "plot/TraceLabels.h"

#include "domain/FormatFixed.h"
#include "plot/CrossingMarks.h"

namespace orvalt {

namespace {

constexpr double kMarkGap = 7.0;     // pixels between a mark and its label
constexpr double kMarkRadius = 6.0;  // a mark's circle, with its pen

void AddCrossingLabels(std::vector<PlotLabel>& labels, const TestTrace& trace,
                       const PlotMapping& map, const TextWidth& widthOf, double lineHeight) {
    for (const CrossingMark& mark : trace.crossings) {
        const std::string text = MarkLabel(mark);
        const PixelBox box{map.X(mark.seconds) + kMarkGap,
                           map.Y(mark.volts) - kMarkGap - lineHeight, widthOf(text), lineHeight};
        labels.push_back({text, box, LabelKind::Crossing, mark.figure});
    }
}

void AddLevelLabels(std::vector<PlotLabel>& labels, const ThresholdLevels& levels,
                    const PlotMapping& map, const TextWidth& widthOf, double lineHeight) {
    for (const LevelLine& line : LevelLines(levels)) {
        const std::string text =
            std::string(line.setting) + " " + FormatFixed(line.volts, 2) + " V";
        const double width = widthOf(text);
        const PixelBox box{map.Area().Right() - 4.0 - width, map.Y(line.volts) - lineHeight - 1.0,
                           width, lineHeight};
        labels.push_back({text, box, LabelKind::Level, line.figure});
    }
}

void AddSwitchLabels(std::vector<PlotLabel>& labels, const TestTrace& trace, const PlotMapping& map,
                     const TextWidth& widthOf, double lineHeight) {
    for (const SwitchMark& mark : trace.switches) {
        const std::string text = mark.on ? "ON" : "OFF";
        const PixelBox box{map.X(mark.seconds) + 2.0, map.Area().top + 1.0, widthOf(text),
                           lineHeight};
        labels.push_back({text, box, LabelKind::Switch, Figure::TimeToOn});
    }
}

}  // namespace

std::vector<PlotLabel> PlacedLabels(const TestTrace& trace, const ThresholdLevels& levels,
                                    const PlotMapping& map, const TextWidth& widthOf,
                                    double lineHeight) {
    std::vector<PlotLabel> wanted;
    AddCrossingLabels(wanted, trace, map, widthOf, lineHeight);
    AddLevelLabels(wanted, levels, map, widthOf, lineHeight);
    AddSwitchLabels(wanted, trace, map, widthOf, lineHeight);
    std::vector<PixelBox> boxes;
    boxes.reserve(wanted.size());
    for (const PlotLabel& label : wanted) {
        boxes.push_back(label.box);
    }
    std::vector<PixelBox> marks;
    for (const CrossingMark& mark : trace.crossings) {
        marks.push_back({map.X(mark.seconds) - kMarkRadius, map.Y(mark.volts) - kMarkRadius,
                         2 * kMarkRadius, 2 * kMarkRadius});
    }
    const auto places = PlaceLabels(boxes, map.Area(), marks);
    std::vector<PlotLabel> placed;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (places[i]) {
            placed.push_back({wanted[i].text, *places[i], wanted[i].kind, wanted[i].figure});
        }
    }
    return placed;
}

}  // namespace orvalt
