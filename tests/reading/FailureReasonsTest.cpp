// What one run counts in the failure Pareto, by the kind of its unit verdict:
// only a FAIL or an ERROR counts; a word of no kind counts nothing.

#include <gtest/gtest.h>

#include "lineview/FailurePareto.h"

namespace orvalt {
namespace {

using Reasons = std::set<std::string>;

TEST(FailureReasons, OnlyAFailOrAnErrorCounts) {
    const Reasons measured{"V4 above the maximum"};
    EXPECT_EQ(RunFailureReasons(VerdictKind::Fail, "completed", measured), measured);
    EXPECT_EQ(RunFailureReasons(VerdictKind::Fail, "completed", {}),
              Reasons{"FAIL without a failed measurement recorded"});
    EXPECT_EQ(RunFailureReasons(VerdictKind::Error, "stopped", measured),
              Reasons{"ERROR: stopped"});
    EXPECT_EQ(RunFailureReasons(VerdictKind::Error, "completed", {}),
              Reasons{"ERROR: not completed"});
    for (const std::optional<VerdictKind> none :
         {std::optional(VerdictKind::Pass), std::optional(VerdictKind::NotJudged),
          std::optional<VerdictKind>()}) {
        EXPECT_EQ(RunFailureReasons(none, "completed", measured), Reasons{});
    }
}

}  // namespace
}  // namespace orvalt
