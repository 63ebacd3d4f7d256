#pragma once
// What one test measured; cleared by the worker before each test.

#include <array>
#include <cstdint>
#include <optional>

namespace orvalt {

struct TestMeasurements {
    std::int32_t notCycling = 0;
    std::array<double, 4> V1{};  // level-1 voltage of cycle 1..4
    std::array<double, 4> V2{};
    std::array<double, 4> V3{};
    std::array<double, 4> V4{};
    double CT = 0.0;                     // cycle time, seconds
    std::array<double, 4> timeToOffA{};  // slot level - 1
    std::array<double, 4> timeToOffB{};
    double timeToOn = 0.0;
    std::int32_t timeToOffDone = 0;
    std::int32_t delay = 0;
    std::int32_t diagValue = 0;
    std::int32_t saveNotAsExpected = 0;
    std::int32_t priorCount = 0;
    // Whether the driver had reported anything when the Time-to-OFF step read
    // the diagnostic table; without, the four figures above were not measured.
    bool diagReceived = false;
    // An on/off repetition test: how many repetitions read outside the window
    // (the test logs "Fail, " when any did).
    std::int32_t repetitionsFailed = 0;
    // The ticks of the power switches the Time To ON and Time To OFF windows
    // were timed from; none while the window did not start.
    std::optional<std::uint32_t> timeToOnSwitchTick;
    std::optional<std::uint32_t> timeToOffSwitchTick;
};

// A time whose threshold was not reached within its sampling window. Shown and
// stored as -1.00 seconds, a value that can never look measured.
constexpr double kTimeNotReached = -1.0;

}  // namespace orvalt
