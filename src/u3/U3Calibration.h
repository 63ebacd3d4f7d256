#pragma once
// Turning a U3's raw analog readings into volts with the calibration constants
// stored in the device: which constants apply to which variant and channel,
// how they are stored, and what to do when stored ones are not believable.

#include <array>
#include <cstdint>

#include "u3/U3Protocol.h"

namespace orvalt::u3 {

// U3-LV: every analog input has the low-voltage range (0 to 2.44 V single
// ended). U3-HV: AIN0-AIN3 are fixed high-voltage inputs (about +-10.3 V),
// each calibrated on its own; the rest are low-voltage inputs. Hardware 1.20
// and 1.21 came before the HV variant and behave like the LV.
enum class U3Model { lv, hv };
constexpr int kHvChannels = 4;
constexpr std::uint16_t kFirstHvHardware = 130;

U3Model ModelOf(const U3Config& config);

struct AinCalibration {
    double slope = 0.0;   // volts per bit of the 16-bit reading
    double offset = 0.0;  // volts at reading 0
};

struct U3Calibration {
    AinCalibration lvSingleEnded;
    std::array<AinCalibration, kHvChannels> hvSingleEnded{};
    // Set when a stored constant pair was implausible and the nominal pair is
    // used in its place (erased or damaged calibration memory).
    bool nominalUsed = false;
};

// The published nominal constants.
U3Calibration NominalCalibration();

// Calibration memory blocks 0-4, as ReadCal returns them. Block 0 holds the
// low-voltage input constants, blocks 3 and 4 the HV slopes and offsets.
using CalBlocks = std::array<CalBlock, 5>;
// The blocks a variant's analog inputs need.
std::span<const std::uint8_t> CalBlocksNeeded(U3Model model);

U3Calibration DecodeCalibration(U3Model model, const CalBlocks& blocks);
// The inverse, for a device that must hold given constants (blocks 1 and 2,
// which the station does not use, get the nominal DAC and temperature values).
CalBlocks EncodeCalibration(const U3Calibration& calibration);

// Constants are stored as signed 32.32 fixed point, little endian.
double FixedPointToDouble(ByteView eightBytes);
std::array<std::uint8_t, 8> DoubleToFixedPoint(double value);

// Volts of a single-ended reading of `channel` (0-15).
double AinToVolts(const U3Calibration& calibration, U3Model model, int channel, std::uint16_t bits);
// The reading a single-ended input at `volts` gives (the inverse, clamped to
// the converter's range).
std::uint16_t VoltsToAin(const U3Calibration& calibration, U3Model model, int channel,
                         double volts);

}  // namespace orvalt::u3
