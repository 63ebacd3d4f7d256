#include "execution/RunStatus.h"

#include <gtest/gtest.h>

namespace orvalt {
namespace {

// Ticks near the 32-bit wrap, as a station up for 49 days has them.
constexpr std::uint32_t kStart = 0xFFFFF000u;

class RunStatusTest : public ::testing::Test {
  protected:
    RunStatusTest() { status.Started(3, kStart, progress); }

    std::string At(std::uint32_t msAfterStart) const { return status.Text(kStart + msAfterStart); }

    std::shared_ptr<RunProgress> progress = std::make_shared<RunProgress>();
    RunStatus status;
};

TEST_F(RunStatusTest, RunningShowsTheTestTheWaitCountingDownAndTheElapsedTime) {
    EXPECT_EQ(At(0), "Test 1 of 3   Elapsed 0:00:00");
    progress->BeginTest(1);
    progress->BeginWait(kStart + 5000, 2500);
    EXPECT_EQ(At(5000), "Test 2 of 3   Wait 3 s left   Elapsed 0:00:05");
    EXPECT_EQ(At(6499), "Test 2 of 3   Wait 2 s left   Elapsed 0:00:06");
    EXPECT_EQ(At(6500), "Test 2 of 3   Wait 1 s left   Elapsed 0:00:06");
    EXPECT_EQ(At(7499), "Test 2 of 3   Wait 1 s left   Elapsed 0:00:07");
    EXPECT_EQ(At(7500), "Test 2 of 3   Elapsed 0:00:07");  // run out, not yet ended
    progress->EndWait();
    progress->BeginTest(2);
    EXPECT_EQ(At(3725000), "Test 3 of 3   Elapsed 1:02:05");
}

TEST_F(RunStatusTest, TheFirstEndCountsAndFreezesTheElapsedTime) {
    status.Ended(RunEnd::Stopped, kStart + 61000);
    status.Ended(RunEnd::Abandoned, kStart + 62000);  // the stopped test's own end
    EXPECT_EQ(At(90000), "Run stopped   Elapsed 0:01:01");
    status.SetPowerNote("Unit power switched off");
    EXPECT_EQ(At(90000), "Run stopped   Elapsed 0:01:01   Unit power switched off");

    status.Started(1, kStart, progress);  // a new run forgets the old note
    EXPECT_EQ(At(0), "Test 1 of 1   Elapsed 0:00:00");
    for (const auto& [end, name] : {std::pair{RunEnd::Completed, "Run complete"},
                                    std::pair{RunEnd::Abandoned, "Run abandoned"}}) {
        status.Started(1, kStart, progress);
        status.Ended(end, kStart + 1000);
        EXPECT_EQ(At(5000), std::string(name) + "   Elapsed 0:00:01");
    }
}

}  // namespace
}  // namespace orvalt
