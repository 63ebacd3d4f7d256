#pragma once
// A threshold crossing a test measured (Time To ON, Time To OFF A or B) with
// the power switch it was timed from, so that whoever shows it (the live plot,
// the report, an export) puts it at the same place without working it out
// again from the switches.

#include <cstdint>
#include <vector>

#include "domain/MeasurementNames.h"
#include "domain/NamedMeasurements.h"
#include "domain/TestMeasurements.h"

namespace orvalt {

struct Crossing {
    Figure figure = Figure::TimeToOn;  // TimeToOn, TimeToOffA or TimeToOffB
    double seconds = 0.0;              // the measured time, from its switch
    double switchSeconds = 0.0;        // that switch, since the test's first power switch

    // Where the crossing lies, since the test's first power switch.
    double At() const { return switchSeconds + seconds; }
    bool operator==(const Crossing&) const = default;
};

// The crossings a completed test reached. A threshold never reached is no
// crossing, and neither is any of a test that did not cycle (its summary line
// shows zeros) or an on/off test. `originTick` is the test's first power switch.
std::vector<Crossing> CrossingsOf(const TestMeasurements& measured, const TestShape& shape,
                                  std::uint32_t originTick);

// The rows a record keeps beside the figures: each crossing's switch under
// its SwitchAtName. And the crossings back from a record's rows; a figure
// without its switch row (a record made before they were kept) gives none.
std::vector<NamedMeasurement> SwitchRows(const std::vector<Crossing>& crossings);
std::vector<Crossing> CrossingsFromRows(const std::vector<NamedMeasurement>& rows);
// True for a row SwitchRows makes: where a switch lies, not a figure.
bool IsSwitchRow(const std::string& name);

}  // namespace orvalt
