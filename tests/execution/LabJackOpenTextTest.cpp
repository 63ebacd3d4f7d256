// What Start shows when the LabJack will not open. The run path itself, with a
// U3 bound by serial number, is exercised through orvalt-cli (tests/cli).

#include <gtest/gtest.h>

#include "execution/LabJackOpenText.h"

namespace orvalt {
namespace {

TEST(LabJackOpenText, ABoundStationNamesItsU3AndAnUnboundOneShowsTheOneLineAsBefore) {
    EXPECT_EQ(LabJackOpenFailureText(1010, ""),
              "Can't open LabJack for voltage measurement. Code 1010");
    EXPECT_EQ(LabJackOpenFailureText(1012, " \t"),
              "Can't open LabJack for voltage measurement. Code 1012");
    EXPECT_EQ(LabJackOpenFailureText(1007, "320000001"),
              "Can't open LabJack for voltage measurement. Code 1007\n"
              "The U3 looked for has serial number 320000001.");
}

}  // namespace
}  // namespace orvalt
