#pragma once
// How the simulated lighting driver behaves. Every field has the value of a
// healthy unit that passes the example plan with the station's default settings:
// level 1 starts 3 s after power-on and each level lasts 4 s, so the default
// waits (2 s + 3 s, then 4 s a level) read each level in its middle.

#include <array>
#include <cstdint>
#include <optional>

namespace orvalt {

struct UnitProfile {
    std::array<double, 4> levels{2.6, 3.3, 4.0, 4.7};  // volts of levels 1..4
    std::int32_t startMs = 3000;                       // power-on to the start of level 1
    std::int32_t levelMs = 4000;                       // length of one level
    std::int32_t onRampMs = 60;                        // rise to level 1, linear
    std::int32_t offTauMs = 400;                       // time constant of the decay after power cut
    // The four set-up durations (on, off, on, off) the unit must see before the
    // power-on that makes it cycle. Absent: it cycles after any pattern.
    std::optional<std::array<std::int32_t, 4>> setupPattern;
    std::int32_t setupToleranceMs = 250;
    bool cycling = true;                   // false: it never cycles (stays at level 1)
    std::int32_t diagPeriodMs = 1000;      // diagnostic line period while powered
    std::int32_t diagDelay = 0x200;        // field 1 of its diagnostic lines
    std::int32_t diagValue = 2;            // field 2
    std::int32_t diagSaveLevelOffset = 0;  // 0: it saves the level it was at
    bool diagSilent = false;
    std::int32_t accessMs = 0;  // time one device access takes
    double noiseMv = 0.0;       // uniform noise, +-noiseMv millivolts
    std::uint32_t seed = 1;
    std::optional<std::int64_t> failReadAfter;    // every read after n reads fails
    std::optional<std::int64_t> failOutputAfter;  // every power switch after n fails

    bool operator==(const UnitProfile&) const = default;
};

}  // namespace orvalt
