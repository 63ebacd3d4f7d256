// What one run counts in the failure Pareto, by the kind of its unit verdict:
// only a FAIL or an ERROR counts; a word of no kind counts nothing.

#include <gtest/gtest.h>

#include "reading/FailureReasons.h"

namespace orvalt {
namespace {

using Reasons = RunReasons;

TEST(FailureReasons, OnlyAFailOrAnErrorCounts) {
    const Reasons measured{
        {"Test 1: Level 4 light above the 4.50 V maximum", WorstValue{4.7, 2, true, " V"}}};
    EXPECT_EQ(RunFailureReasons(VerdictKind::Fail, "completed", measured), measured);
    EXPECT_EQ(RunFailureReasons(VerdictKind::Fail, "completed", {}),
              (Reasons{{"FAIL without a failed measurement recorded", std::nullopt}}));
    EXPECT_EQ(RunFailureReasons(VerdictKind::Error, "stopped", measured),
              (Reasons{{"ERROR: stopped", std::nullopt}}));
    EXPECT_EQ(RunFailureReasons(VerdictKind::Error, "completed", {}),
              (Reasons{{"ERROR: not completed", std::nullopt}}));
    for (const std::optional<VerdictKind> none :
         {std::optional(VerdictKind::Pass), std::optional(VerdictKind::NotJudged),
          std::optional<VerdictKind>()}) {
        EXPECT_EQ(RunFailureReasons(none, "completed", measured), Reasons{});
    }
}

}  // namespace
}  // namespace orvalt
