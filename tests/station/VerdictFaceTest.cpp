// What the verdict panel says through a run: READY, TESTING..., a failure as
// soon as it is certain, and after the run PASS, FAIL, ERROR or, without
// limits, NOT JUDGED (never a silent pass).

#include "station/VerdictFace.h"

#include <gtest/gtest.h>

namespace orvalt {
namespace {

TestEnd Completed(int row, double v4) {
    TestEnd test;
    test.row = row;
    test.completed = true;
    test.cycleMode = false;
    test.measurements.repetitionsFailed = v4 > 4.5 ? 1 : 0;
    return test;
}

// As the session tells it: judged by the keeper before the end is told.
void Ended(VerdictKeeper& keeper, TestEnd test) {
    test.outcome = keeper.OutcomeOf(test);
    keeper.TestEnded(test);
}

TEST(VerdictFace, FollowsARunWithAndWithoutLimits) {
    Result<Limits> limits = ParseLimits("measurement,min,max\nRepetitionsFailed,,0\n");
    ASSERT_TRUE(limits);
    VerdictKeeper keeper;
    EXPECT_EQ(FaceOf(keeper.Snapshot(), {}).word, "READY");
    EXPECT_EQ(FaceOf(keeper.Snapshot(), {}).limits, "No limits loaded");

    // Without limits: testing, then NOT JUDGED in amber, with why.
    keeper.UsePlannedTests(2);
    keeper.RunStarted(1);
    EXPECT_EQ(FaceOf(keeper.Snapshot(), {}).tone, VerdictTone::Testing);
    Ended(keeper, Completed(0, 4.0));
    keeper.RunEnded(1, RunEnd::Completed);
    const VerdictFace unjudged = FaceOf(keeper.Snapshot(), {});
    EXPECT_EQ(unjudged.word, "NOT JUDGED");
    EXPECT_EQ(unjudged.tone, VerdictTone::NotJudged);
    EXPECT_EQ(unjudged.reasons, std::vector<std::string>{kNotJudgedReason});

    // With limits: a failure shows before the run is over, the pass only at its end.
    keeper.UseLimits(&*limits);
    keeper.RunStarted(2);
    Ended(keeper, Completed(0, 4.0));
    EXPECT_EQ(FaceOf(keeper.Snapshot(), "/lines/a/limits-A.csv").word, "TESTING...");
    EXPECT_EQ(FaceOf(keeper.Snapshot(), "/lines/a/limits-A.csv").limits, "Limits: limits-A.csv");
    Ended(keeper, Completed(1, 4.0));
    keeper.RunEnded(2, RunEnd::Completed);
    EXPECT_EQ(FaceOf(keeper.Snapshot(), {}).word, "PASS");
    EXPECT_TRUE(FaceOf(keeper.Snapshot(), {}).reasons.empty());

    keeper.RunStarted(3);
    Ended(keeper, Completed(0, 4.7));
    const VerdictFace early = FaceOf(keeper.Snapshot(), {});
    EXPECT_EQ(early.tone, VerdictTone::Fail);
    EXPECT_EQ(early.reasons,
              std::vector<std::string>{"Test 1: Failed on/off repetitions 1, above the 0 maximum"});
    keeper.RunEnded(3, RunEnd::Stopped);
    EXPECT_EQ(FaceOf(keeper.Snapshot(), {}).word, "FAIL");

    keeper.RunStarted(4);
    keeper.RunEnded(4, RunEnd::Stopped);
    const VerdictFace stopped = FaceOf(keeper.Snapshot(), {});
    EXPECT_EQ(stopped.word, "ERROR");
    EXPECT_EQ(stopped.reasons, std::vector<std::string>{"2 tests were not run"});
}

}  // namespace
}  // namespace orvalt
