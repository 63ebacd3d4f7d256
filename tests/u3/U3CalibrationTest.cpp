// Calibration constants: their storage format, which constants a channel of
// each variant uses, and what happens to unbelievable stored values.
#include <gtest/gtest.h>

#include "u3/U3Calibration.h"
#include "u3/SampleCalibration.h"

namespace orvalt::u3 {
namespace {

TEST(U3FixedPoint, ReadsSigned32Dot32LittleEndian) {
    const std::array<std::uint8_t, 8> one{0, 0, 0, 0, 1, 0, 0, 0};
    const std::array<std::uint8_t, 8> half{0, 0, 0, 0x80, 0, 0, 0, 0};
    const std::array<std::uint8_t, 8> minusOneAndHalf{0, 0, 0, 0x80, 0xFE, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(FixedPointToDouble(one), 1.0);
    EXPECT_EQ(FixedPointToDouble(half), 0.5);
    EXPECT_EQ(FixedPointToDouble(minusOneAndHalf), -1.5);
    EXPECT_EQ(DoubleToFixedPoint(-1.5), minusOneAndHalf);
    for (double value : {3.7231E-05, -10.3, 51.717, 0.0}) {
        EXPECT_NEAR(FixedPointToDouble(DoubleToFixedPoint(value)), value, 1.0 / 4294967296.0);
    }
}

TEST(U3Calibration, StoredConstantsComeBackFromTheBlocks) {
    for (U3Model model : {U3Model::lv, U3Model::hv}) {
        const U3Calibration stored = SampleCalibration();
        const U3Calibration decoded = DecodeCalibration(model, EncodeCalibration(stored));
        EXPECT_FALSE(decoded.nominalUsed);
        EXPECT_NEAR(decoded.lvSingleEnded.slope, stored.lvSingleEnded.slope, 1e-9);
        EXPECT_NEAR(decoded.lvSingleEnded.offset, stored.lvSingleEnded.offset, 1e-9);
        if (model == U3Model::hv) {
            EXPECT_NEAR(decoded.hvSingleEnded[2].slope, stored.hvSingleEnded[2].slope, 1e-9);
            EXPECT_NEAR(decoded.hvSingleEnded[3].offset, stored.hvSingleEnded[3].offset, 1e-9);
        }
    }
}

TEST(U3Calibration, LvConvertsEveryChannelWithTheLowVoltageConstants) {
    const U3Calibration calibration = SampleCalibration();
    for (int channel : {0, 3, 4, 15}) {
        EXPECT_DOUBLE_EQ(AinToVolts(calibration, U3Model::lv, channel, 32768),
                         3.7558E-05 * 32768 + 0.0112);
    }
    EXPECT_DOUBLE_EQ(AinToVolts(calibration, U3Model::lv, 0, 0), 0.0112);
}

TEST(U3Calibration, HvUsesEachHighVoltageInputsOwnConstants) {
    const U3Calibration calibration = SampleCalibration();
    EXPECT_DOUBLE_EQ(AinToVolts(calibration, U3Model::hv, 0, 0), -10.51);
    EXPECT_DOUBLE_EQ(AinToVolts(calibration, U3Model::hv, 0, 65535), 3.1532E-04 * 65535 - 10.51);
    EXPECT_DOUBLE_EQ(AinToVolts(calibration, U3Model::hv, 3, 40000), 3.1401E-04 * 40000 - 10.44);
    // FIO4 on: low-voltage input, as on the LV.
    EXPECT_DOUBLE_EQ(AinToVolts(calibration, U3Model::hv, 4, 40000), 3.7558E-05 * 40000 + 0.0112);
}

TEST(U3Calibration, VoltsToAinIsTheInverseWithinOneStep) {
    const U3Calibration calibration = SampleCalibration();
    for (double volts : {-9.87, 0.0, 1.234, 9.99}) {
        const std::uint16_t bits = VoltsToAin(calibration, U3Model::hv, 1, volts);
        EXPECT_NEAR(AinToVolts(calibration, U3Model::hv, 1, bits), volts, 3.2E-04);
    }
    EXPECT_EQ(VoltsToAin(calibration, U3Model::lv, 0, 5.0), 65535);  // over range
    EXPECT_EQ(VoltsToAin(calibration, U3Model::lv, 0, -1.0), 0);
}

TEST(U3Calibration, ImplausibleStoredConstantsFallBackToNominal) {
    CalBlocks erased;
    for (CalBlock& block : erased) {
        block.fill(0xFF);
    }
    const U3Calibration fromErased = DecodeCalibration(U3Model::hv, erased);
    EXPECT_TRUE(fromErased.nominalUsed);
    EXPECT_DOUBLE_EQ(fromErased.lvSingleEnded.slope, 3.7231E-05);
    EXPECT_DOUBLE_EQ(fromErased.hvSingleEnded[0].offset, -10.3);

    // One damaged HV pair: only that pair is replaced.
    U3Calibration stored = SampleCalibration();
    stored.hvSingleEnded[1].slope = 6.0E-04;
    const U3Calibration decoded = DecodeCalibration(U3Model::hv, EncodeCalibration(stored));
    EXPECT_TRUE(decoded.nominalUsed);
    EXPECT_DOUBLE_EQ(decoded.hvSingleEnded[1].slope, 3.1400E-04);
    EXPECT_NEAR(decoded.hvSingleEnded[0].slope, 3.1532E-04, 1e-9);
}

TEST(U3Calibration, ModelFollowsHardwareAndVersionInfo) {
    struct Case {
        std::uint16_t hardware;
        std::uint8_t versionInfo;
        U3Model model;
    };
    const Case cases[] = {
        {130, 18, U3Model::hv}, {130, 2, U3Model::lv},  {121, 1, U3Model::lv},
        {120, 0, U3Model::lv},  {121, 18, U3Model::lv},  // no HV before hardware 1.30
    };
    for (const Case& c : cases) {
        U3Config config;
        config.hardwareVersion = c.hardware;
        config.versionInfo = c.versionInfo;
        EXPECT_EQ(ModelOf(config), c.model) << c.hardware << " " << int(c.versionInfo);
    }
    EXPECT_EQ(CalBlocksNeeded(U3Model::lv).size(), 1u);
    EXPECT_EQ(CalBlocksNeeded(U3Model::hv).size(), 3u);
}

}  // namespace
}  // namespace orvalt::u3
