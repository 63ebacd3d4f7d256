#include "domain/Crossing.h"

#include <algorithm>
#include <optional>

#include "platform/Clock.h"

namespace orvalt {

namespace {

constexpr Figure kCrossingFigures[] = {Figure::TimeToOn, Figure::TimeToOffA, Figure::TimeToOffB};

void AddIfReached(std::vector<Crossing>& crossings, Figure figure, double seconds,
                  std::optional<std::uint32_t> switchTick, std::uint32_t originTick) {
    if (switchTick && seconds >= 0.0) {
        crossings.push_back({figure, seconds, TicksToSeconds(originTick, *switchTick)});
    }
}

std::optional<double> ValueOf(const std::vector<NamedMeasurement>& rows, const std::string& name) {
    const NamedMeasurement* found = FindNamed(rows, name);
    return found ? std::optional(found->value) : std::nullopt;
}

}  // namespace

std::vector<Crossing> CrossingsOf(const TestMeasurements& m, const TestShape& shape,
                                  std::uint32_t originTick) {
    std::vector<Crossing> crossings;
    if (!shape.cycleMode || m.notCycling != 0) {
        return crossings;
    }
    AddIfReached(crossings, Figure::TimeToOn, m.timeToOn, m.timeToOnSwitchTick, originTick);
    if (m.timeToOffDone != 0) {
        const auto slot = static_cast<std::size_t>(std::clamp(shape.switchOffLevel, 1, 4) - 1);
        AddIfReached(crossings, Figure::TimeToOffA, m.timeToOffA[slot], m.timeToOffSwitchTick,
                     originTick);
        AddIfReached(crossings, Figure::TimeToOffB, m.timeToOffB[slot], m.timeToOffSwitchTick,
                     originTick);
    }
    return crossings;
}

std::vector<NamedMeasurement> SwitchRows(const std::vector<Crossing>& crossings) {
    std::vector<NamedMeasurement> rows;
    for (const Crossing& crossing : crossings) {
        rows.push_back({SwitchAtName(crossing.figure), crossing.switchSeconds});
    }
    return rows;
}

std::vector<Crossing> CrossingsFromRows(const std::vector<NamedMeasurement>& rows) {
    std::vector<Crossing> crossings;
    for (const Figure figure : kCrossingFigures) {
        const auto seconds = ValueOf(rows, NameOf(figure).name);
        const auto switchSeconds = ValueOf(rows, SwitchAtName(figure));
        if (seconds && switchSeconds && *seconds >= 0.0) {
            crossings.push_back({figure, *seconds, *switchSeconds});
        }
    }
    return crossings;
}

bool IsSwitchRow(const std::string& name) {
    return std::any_of(std::begin(kCrossingFigures), std::end(kCrossingFigures),
                       [&name](Figure figure) { return SwitchAtName(figure) == name; });
}

}  // namespace orvalt
