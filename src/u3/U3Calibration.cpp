#include "u3/U3Calibration.h"

#include <algorithm>
#include <cmath>

namespace orvalt::u3 {

namespace {

constexpr AinCalibration kNominalLv{3.7231E-05, 0.0};
constexpr AinCalibration kNominalHv{3.1400E-04, -10.3};
constexpr double kLvSpan = 2.44;
constexpr double kHvSpan = 20.6;
// Blocks 1 and 2: DAC0 and DAC1 slope and offset, temperature slope, Vref.
constexpr std::array<double, 4> kNominalDacBlock{51.717, 0.0, 51.717, 0.0};
constexpr std::array<double, 4> kNominalTempBlock{0.013021, 2.44, 0.0, 0.0};
constexpr double kTwoPow32 = 4294967296.0;

constexpr std::array<std::uint8_t, 1> kLvBlocks{0};
constexpr std::array<std::uint8_t, 3> kHvBlocks{0, 3, 4};

// Real devices lie within a few percent of nominal; erased flash reads as -1
// LSB and a damaged block as anything.
bool Plausible(AinCalibration stored, AinCalibration nominal, double span) {
    return std::isfinite(stored.slope) && std::isfinite(stored.offset) &&
           std::abs(stored.slope / nominal.slope - 1.0) <= 0.1 &&
           std::abs(stored.offset - nominal.offset) <= 0.1 * span;
}

double ConstantAt(const CalBlock& block, int index) {
    return FixedPointToDouble(ByteView(block).subspan(static_cast<std::size_t>(index) * 8, 8));
}

void PutConstant(CalBlock& block, int index, double value) {
    const auto bytes = DoubleToFixedPoint(value);
    std::copy(bytes.begin(), bytes.end(), block.begin() + index * 8);
}

CalBlock BlockOf(const std::array<double, 4>& values) {
    CalBlock block{};
    for (int i = 0; i < 4; ++i) {
        PutConstant(block, i, values[static_cast<std::size_t>(i)]);
    }
    return block;
}

// Takes the stored pair when believable, else the nominal one.
AinCalibration Checked(AinCalibration stored, AinCalibration nominal, double span,
                       bool& nominalUsed) {
    if (Plausible(stored, nominal, span)) {
        return stored;
    }
    nominalUsed = true;
    return nominal;
}

const AinCalibration& ChannelCalibration(const U3Calibration& calibration, U3Model model,
                                         int channel) {
    if (model == U3Model::hv && channel >= 0 && channel < kHvChannels) {
        return calibration.hvSingleEnded[static_cast<std::size_t>(channel)];
    }
    return calibration.lvSingleEnded;
}

}  // namespace

U3Model ModelOf(const U3Config& config) {
    // VersionInfo 18 (0x12) marks the U3-HV, 2 the U3-LV; bit 4 is the HV part.
    const bool hvBit = (config.versionInfo & 0x10) != 0;
    return hvBit && config.hardwareVersion >= kFirstHvHardware ? U3Model::hv : U3Model::lv;
}

U3Calibration NominalCalibration() {
    U3Calibration calibration;
    calibration.lvSingleEnded = kNominalLv;
    calibration.hvSingleEnded.fill(kNominalHv);
    return calibration;
}

std::span<const std::uint8_t> CalBlocksNeeded(U3Model model) {
    if (model == U3Model::hv) {
        return kHvBlocks;
    }
    return kLvBlocks;
}

U3Calibration DecodeCalibration(U3Model model, const CalBlocks& blocks) {
    U3Calibration calibration = NominalCalibration();
    const AinCalibration lv{ConstantAt(blocks[0], 0), ConstantAt(blocks[0], 1)};
    calibration.lvSingleEnded = Checked(lv, kNominalLv, kLvSpan, calibration.nominalUsed);
    if (model != U3Model::hv) {
        return calibration;
    }
    for (int channel = 0; channel < kHvChannels; ++channel) {
        const AinCalibration hv{ConstantAt(blocks[3], channel), ConstantAt(blocks[4], channel)};
        calibration.hvSingleEnded[static_cast<std::size_t>(channel)] =
            Checked(hv, kNominalHv, kHvSpan, calibration.nominalUsed);
    }
    return calibration;
}

CalBlocks EncodeCalibration(const U3Calibration& calibration) {
    const AinCalibration& lv = calibration.lvSingleEnded;
    const auto& hv = calibration.hvSingleEnded;
    return CalBlocks{
        BlockOf({lv.slope, lv.offset, 2.0 * lv.slope, -kLvSpan}),
        BlockOf(kNominalDacBlock),
        BlockOf(kNominalTempBlock),
        BlockOf({hv[0].slope, hv[1].slope, hv[2].slope, hv[3].slope}),
        BlockOf({hv[0].offset, hv[1].offset, hv[2].offset, hv[3].offset}),
    };
}

double FixedPointToDouble(ByteView eightBytes) {
    std::uint64_t raw = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        raw |= static_cast<std::uint64_t>(eightBytes[i]) << (8 * i);
    }
    return static_cast<double>(static_cast<std::int64_t>(raw)) / kTwoPow32;
}

std::array<std::uint8_t, 8> DoubleToFixedPoint(double value) {
    const auto raw = static_cast<std::uint64_t>(std::llround(value * kTwoPow32));
    std::array<std::uint8_t, 8> bytes{};
    for (std::size_t i = 0; i < 8; ++i) {
        bytes[i] = static_cast<std::uint8_t>(raw >> (8 * i));
    }
    return bytes;
}

double AinToVolts(const U3Calibration& calibration, U3Model model, int channel,
                  std::uint16_t bits) {
    const AinCalibration& constants = ChannelCalibration(calibration, model, channel);
    return constants.slope * bits + constants.offset;
}

std::uint16_t VoltsToAin(const U3Calibration& calibration, U3Model model, int channel,
                         double volts) {
    const AinCalibration& constants = ChannelCalibration(calibration, model, channel);
    const double bits = std::round((volts - constants.offset) / constants.slope);
    return static_cast<std::uint16_t>(std::clamp(bits, 0.0, 65535.0));
}

}  // namespace orvalt::u3
