#include "plot/CrossingMarks.h"

#include "domain/FormatFixed.h"

namespace orvalt {

namespace {

double ThresholdOf(Figure figure, const ThresholdLevels& levels) {
    switch (figure) {
        case Figure::TimeToOffA:
            return levels.voltageOffA;
        case Figure::TimeToOffB:
            return levels.voltageOffB;
        default:
            return levels.voltageOn;
    }
}

const char* ShortWord(Figure figure) {
    switch (figure) {
        case Figure::TimeToOffA:
            return "OFF A";
        case Figure::TimeToOffB:
            return "OFF B";
        default:
            return "ON";
    }
}

}  // namespace

void MarkCrossings(TestTrace& trace, const std::vector<Crossing>& crossings,
                   const ThresholdLevels& levels) {
    for (const Crossing& crossing : crossings) {
        trace.crossings.push_back({crossing.figure, crossing.At(), crossing.seconds,
                                   ThresholdOf(crossing.figure, levels)});
    }
}

std::string MarkLabel(const CrossingMark& mark) {
    const MeasurementName& name = NameOf(mark.figure);
    return std::string(ShortWord(mark.figure)) + " " + FormatFixed(mark.measured, name.decimals) +
           " " + name.unit;
}

}  // namespace orvalt
