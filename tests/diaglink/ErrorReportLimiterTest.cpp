#include "diaglink/ErrorReportLimiter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvalt {
namespace {

using ::testing::Optional;

TEST(ErrorReportLimiter, ReportsAtOnceThenHoldsRepeatsForASecondAndCountsThem) {
    ErrorReportLimiter limiter(1000);
    EXPECT_THAT(limiter.Failure("E", 5000), Optional(std::string("E")));
    EXPECT_EQ(limiter.MsUntilFlush(5000), std::nullopt);
    EXPECT_EQ(limiter.Failure("E", 5100), std::nullopt);
    EXPECT_EQ(limiter.Failure("F", 5200), std::nullopt);
    EXPECT_THAT(limiter.MsUntilFlush(5200), Optional(800u));
    EXPECT_EQ(limiter.Flush(5999), std::nullopt);
    EXPECT_THAT(limiter.Flush(6000), Optional(std::string("F (repeated 2 times)")));
    EXPECT_EQ(limiter.Flush(9000), std::nullopt) << "nothing held any more";
    EXPECT_EQ(limiter.Failure("E", 6500), std::nullopt) << "within a second of the summary";
    EXPECT_THAT(limiter.Failure("E", 7000), Optional(std::string("E (repeated 2 times)")));
}

TEST(ErrorReportLimiter, AFailureAfterAQuietSecondIsReportedAtOnceAcrossATickWrap) {
    ErrorReportLimiter limiter(1000);
    EXPECT_TRUE(limiter.Failure("E", 0xFFFFFF00u).has_value());
    EXPECT_EQ(limiter.Failure("E", 0x00000100u), std::nullopt) << "512 ms later";
    EXPECT_THAT(limiter.MsUntilFlush(0x00000100u), Optional(488u));
    EXPECT_TRUE(limiter.Flush(0x00000300u).has_value());
    EXPECT_THAT(limiter.Failure("G", 0x00010000u), Optional(std::string("G")));
}

TEST(ErrorReportLimiter, ABurstIsReportedOnceAtOnceAndTheRestAsItsRepeats) {
    ErrorReportLimiter limiter(1000);
    EXPECT_EQ(limiter.Failure("D", 100, 0), std::nullopt) << "no failure, no report";
    EXPECT_THAT(limiter.Failure("D", 100, 500), Optional(std::string("D")));
    EXPECT_EQ(limiter.Failure("D", 600, 250), std::nullopt);
    EXPECT_THAT(limiter.Flush(1100), Optional(std::string("D (repeated 749 times)")));
    EXPECT_THAT(limiter.Failure("D", 2100, 1), Optional(std::string("D")));
    EXPECT_EQ(limiter.Flush(3100), std::nullopt) << "a burst of one holds nothing";
}

}  // namespace
}  // namespace orvalt
