#include "plot/CrossingMarks.h"

#include "domain/FormatFixed.h"

namespace orvalt {

namespace {

// Per crossing: its short word, the setting and level it crosses and its colour.
struct CrossingLook {
    Figure figure;
    const char* word;
    const char* setting;
    double ThresholdLevels::*level;
    std::uint32_t rgb;
};

constexpr CrossingLook kLooks[] = {
    {Figure::TimeToOn, "ON", "VoltageOn", &ThresholdLevels::voltageOn, 0x2e7d32},
    {Figure::TimeToOffA, "OFF A", "VoltageOffA", &ThresholdLevels::voltageOffA, 0xef6c00},
    {Figure::TimeToOffB, "OFF B", "VoltageOffB", &ThresholdLevels::voltageOffB, 0xc62828},
};

const CrossingLook& LookOf(Figure figure) {
    for (const CrossingLook& look : kLooks) {
        if (look.figure == figure) {
            return look;
        }
    }
    return kLooks[0];
}

}  // namespace

void MarkCrossings(TestTrace& trace, const std::vector<Crossing>& crossings,
                   const ThresholdLevels& levels) {
    for (const Crossing& crossing : crossings) {
        trace.crossings.push_back({crossing.figure, crossing.At(), crossing.seconds,
                                   levels.*LookOf(crossing.figure).level});
    }
}

std::string MarkLabel(const CrossingMark& mark) {
    const MeasurementName& name = NameOf(mark.figure);
    return std::string(LookOf(mark.figure).word) + " " + FormatFixed(mark.measured, name.decimals) +
           " " + name.unit;
}

std::uint32_t MarkColour(Figure figure) {
    return LookOf(figure).rgb;
}

std::array<LevelLine, 3> LevelLines(const ThresholdLevels& levels) {
    std::array<LevelLine, 3> lines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        lines[i] = {kLooks[i].figure, kLooks[i].setting, levels.*kLooks[i].level};
    }
    return lines;
}

}  // namespace orvalt
