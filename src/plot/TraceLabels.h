#pragma once
// The labels of one test's plot and where they go, the same for the window
// and the report: the crossings' measured times first, then the three levels,
// then the switches' ON and OFF, each placed by LabelPlaces' rule.

#include <functional>
#include <string>
#include <vector>

#include "plot/LabelPlaces.h"
#include "plot/TestTrace.h"

namespace orvalt {

enum class LabelKind { Crossing, Level, Switch };

struct PlotLabel {
    std::string text;
    PixelBox box;
    LabelKind kind = LabelKind::Crossing;
    Figure figure = Figure::TimeToOn;  // whose colour: the crossing's or the level's
};

// The width in pixels a text takes in the drawing's font.
using TextWidth = std::function<double(const std::string&)>;

// The labels that found a place, in their order of choice, each in its box.
std::vector<PlotLabel> PlacedLabels(const TestTrace& trace, const ThresholdLevels& levels,
                                    const PlotMapping& map, const TextWidth& widthOf,
                                    double lineHeight);

}  // namespace orvalt
