#include "sim/UnitProfileJson.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace orvalt {
namespace {

struct IntegerCase {
    const char* json;
    bool accepted;
    std::int32_t diagDelay;  // when accepted
};

void PrintTo(const IntegerCase& test, std::ostream* out) {
    *out << test.json;
}

class ProfileIntegers : public ::testing::TestWithParam<IntegerCase> {};

// A whole number is taken only as the very number written: one beyond the
// 64-bit signed range must not wrap round into the field's range.
TEST_P(ProfileIntegers, TakesOnlyTheNumberWritten) {
    const Result<UnitProfile> result = ParseUnitProfile(GetParam().json);
    ASSERT_EQ(result.Ok(), GetParam().accepted) << GetParam().json;
    if (GetParam().accepted) {
        EXPECT_EQ(result->diagDelay, GetParam().diagDelay);
    } else {
        EXPECT_EQ(result.Error(),
                  "unit profile: \"diagDelay\" must be a whole number from -2147483648 to "
                  "2147483647");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, ProfileIntegers,
    ::testing::Values(IntegerCase{R"({"diagDelay": -2147483648})", true, INT32_MIN},
                      IntegerCase{R"({"diagDelay": 2147483647})", true, INT32_MAX},
                      IntegerCase{R"({"diagDelay": 2147483648})", false, 0},
                      IntegerCase{R"({"diagDelay": -2147483649})", false, 0},
                      IntegerCase{R"({"diagDelay": 9223372036854775808})", false, 0},
                      IntegerCase{R"({"diagDelay": 18446744071562067968})", false, 0},
                      IntegerCase{R"({"diagDelay": 18446744073709551615})", false, 0}));

TEST(UnitProfileJson, AWrappedNumberIsRefusedForEveryIntegerKey) {
    for (const std::string key : {"startMs", "levelMs", "diagValue", "diagSaveLevelOffset"}) {
        const Result<UnitProfile> result =
            ParseUnitProfile("{\"" + key + "\": 18446744073709551613}");
        ASSERT_FALSE(result.Ok()) << key;
        EXPECT_TRUE(result.Error().starts_with("unit profile: \"" + key + "\" must be")) << key;
    }
}

// The example that writes out every key an engineer may change is the default
// unit itself, so that a profile copied from it changes only what is edited.
TEST(UnitProfileJson, TheHealthyExampleIsTheDefaultUnit) {
    const Result<UnitProfile> healthy =
        LoadUnitProfile(ORVALT_SOURCE_DIR "/examples/unit-healthy.json");
    ASSERT_TRUE(healthy.Ok()) << healthy.Error();
    EXPECT_EQ(*healthy, UnitProfile{});
}

}  // namespace
}  // namespace orvalt
