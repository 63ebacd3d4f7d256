#pragma once
// A test's figures as a plain list of named values, the one form in which
// verdicts judge them and records keep them. The names are those of
// MeasurementNames.h; a figure the test did not produce is not in the list.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "domain/TestMeasurements.h"

namespace orvalt {

struct NamedMeasurement {
    std::string name;
    double value = 0.0;
    // As the table of names gives them; a row read back from a record, which
    // keeps only the name and the value, has the defaults.
    std::string unit{};
    int decimals = 2;
};

// What the record alone cannot tell about the test that filled it.
struct TestShape {
    bool cycleMode = true;   // the plan entry's P1 is not 0
    int cycles = 1;          // N, the Time-to-OFF cycle the test ran to (1..4)
    int switchOffLevel = 1;  // M, the level at which its power was cut (1..4)
};

// A cycle-mode test always gives NotCycling, V1..V4 of cycle N, CT, TimeToOn
// and the four diagnostic figures, valued exactly as its summary line shows
// them (zeros for a unit that did not cycle), but for a Time-to-OFF step that
// had no diagnostic record to judge, which gives none. A test that cycled adds each
// cycle's levels, the level statistics of its "TEST n, Vk" lines and, when the
// Time-to-OFF step ran, the two Time To OFF figures of level M. An on/off
// repetition test gives only RepetitionsFailed.
std::vector<NamedMeasurement> NameMeasurements(const TestMeasurements& measured,
                                               const TestShape& shape);

// The figure named exactly `name` in `list`; null when there is none.
const NamedMeasurement* FindNamed(std::span<const NamedMeasurement> list, std::string_view name);

}  // namespace orvalt
