#pragma once
// The one table of measurement names: every figure a test gives, under the one
// name that limits files, records, verdict lines and the plot use, with its
// unit and the decimals the station shows it with. The names are station
// texts (limits files, result records and log lines carry them): they never
// change.

#include <span>
#include <string>
#include <string_view>

namespace orvalt {

// The figures with a name of their own. V1..V4 are a level's light in the
// summary line's cycle; each also has per-cycle and statistic names.
enum class Figure {
    NotCycling,
    V1,
    V2,
    V3,
    V4,
    CT,
    TimeToOn,
    TimeToOffA,
    TimeToOffB,
    Delay,
    SaveNotAsExpected,
    PriorCount,
    DiagValue,
    RepetitionsFailed,
};

struct MeasurementName {
    std::string name;
    std::string unit;  // "V", "s", or empty for a count
    int decimals = 2;  // 2 for volts and seconds ("%.2f"), 0 for counts ("%d")
};

enum class LevelStatistic { Highest, Lowest, Average };

// Figure::V1..V4 from a level 1..4 (clamped).
Figure LevelFigure(int level);

const MeasurementName& NameOf(Figure figure);
// "V2.c3": level V2 in cycle 3 (cycle 1..4).
const MeasurementName& CycleNameOf(Figure level, int cycle);
// "V2.max", "V2.min", "V2.avg".
const MeasurementName& StatisticNameOf(Figure level, LevelStatistic statistic);

// Every name, in the order docs/limits.md lists them.
std::span<const MeasurementName> MeasurementNames();

// The entry named exactly `name`; null when none is.
const MeasurementName* FindMeasurementName(std::string_view name);

// Delay, SaveNotAsExpected, PriorCount, DiagValue: figures only the driver's
// diagnostic line can give.
bool IsDiagnosticFigure(std::string_view name);

// The record's row for the switch a crossing (TimeToOn, TimeToOffA,
// TimeToOffB) was timed from: "TimeToOn.switchAt", in seconds since the
// test's first power switch. Not a figure a limit can bound.
std::string SwitchAtName(Figure crossing);

}  // namespace orvalt
