#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "diaglink/NextHexField.h"

namespace orvalt {
namespace {

struct FieldCase {
    const char* text;
    std::int32_t value;
    bool hex;
    const char* rest;
};

class NextHexFieldCases : public ::testing::TestWithParam<FieldCase> {};

TEST_P(NextHexFieldCases, TakesOneFieldOffTheFront) {
    std::string text = GetParam().text;
    std::int32_t value = 12345;
    EXPECT_EQ(NextHexField(text, value), GetParam().hex);
    EXPECT_EQ(value, GetParam().value);
    EXPECT_EQ(text, GetParam().rest);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, NextHexFieldCases,
    ::testing::Values(FieldCase{"10 2 3", 16, true, "2 3"}, FieldCase{"1f", 31, true, ""},
                      FieldCase{"aBcD", 0xabcd, true, ""}, FieldCase{"FFFFFFFF", -1, true, ""},
                      FieldCase{"80000000", INT32_MIN, true, ""},
                      FieldCase{"123456789", 0x23456789, true, ""},
                      FieldCase{"\t1f\t x", 31, true, "x"}, FieldCase{"", 0, true, ""},
                      FieldCase{" B C", 0, true, "B C"}, FieldCase{"\t\t", 0, true, ""},
                      FieldCase{"1g 2", 0, false, "2"}, FieldCase{"-1", 0, false, ""},
                      FieldCase{"0x10", 0, false, ""}, FieldCase{"1\t2", 0, false, ""}));

struct LineCase {
    const char* line;
    std::int32_t f1, f2, f3;
};

class DecodeLineCases : public ::testing::TestWithParam<LineCase> {};

TEST_P(DecodeLineCases, ReadsTheFirstThreeFieldsBadOnesAsZero) {
    const DiagFields fields = DecodeDiagLine(GetParam().line);
    EXPECT_EQ(fields.field1, GetParam().f1);
    EXPECT_EQ(fields.field2, GetParam().f2);
    EXPECT_EQ(fields.field3, GetParam().f3);
}

INSTANTIATE_TEST_SUITE_P(Lines, DecodeLineCases,
                         ::testing::Values(LineCase{"10 2 3", 16, 2, 3}, LineCase{"1f", 31, 0, 0},
                                           LineCase{"level 1 2", 0, 1, 2},
                                           LineCase{"A  B C", 10, 0, 11},
                                           LineCase{"1 2 3 4 zz", 1, 2, 3},
                                           LineCase{"   ", 0, 0, 0},
                                           LineCase{"\t7\t 8 \t9", 7, 8, 9}));

}  // namespace
}  // namespace orvalt
