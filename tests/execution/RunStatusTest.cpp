#include "execution/RunStatus.h"

#include <gtest/gtest.h>

namespace orvalt {
namespace {

// Ticks near the 32-bit wrap, as a station up for 49 days has them.
constexpr std::uint32_t kStart = 0xFFFFF000u;

class RunStatusTest : public ::testing::Test {
  protected:
    RunStatusTest() { status.Started(3, kStart, progress); }

    RunStatusNow Now(std::uint32_t msAfterStart) const { return status.Now(kStart + msAfterStart); }
    std::string At(std::uint32_t msAfterStart) const { return StripText(Now(msAfterStart)); }

    std::shared_ptr<RunProgress> progress = std::make_shared<RunProgress>();
    RunStatus status;
};

TEST_F(RunStatusTest, RunningShowsTheTestTheWaitCountingDownAndTheElapsedTime) {
    EXPECT_EQ(At(0), "Test 1 of 3   Elapsed 0:00:00");
    progress->BeginTest(1);
    progress->BeginWait("Wait 2.50 secs for to ensure OFF", kStart + 5000, 2500);
    EXPECT_EQ(At(5000), "Test 2 of 3   Wait 3 s left   Elapsed 0:00:05");
    EXPECT_EQ(At(6499), "Test 2 of 3   Wait 2 s left   Elapsed 0:00:06");
    EXPECT_EQ(At(6500), "Test 2 of 3   Wait 1 s left   Elapsed 0:00:06");
    EXPECT_EQ(At(7499), "Test 2 of 3   Wait 1 s left   Elapsed 0:00:07");
    EXPECT_EQ(At(7500), "Test 2 of 3   Elapsed 0:00:07");  // run out, not yet ended
    progress->EndWait();
    progress->BeginTest(2);
    EXPECT_EQ(At(3725000), "Test 3 of 3   Elapsed 1:02:05");
}

// The announced wait stays in the value after it ran out (the runner's line
// keeps showing it), but only a wait going and of a second or more reaches
// the strip: shorter ones are polling.
TEST_F(RunStatusTest, TheAnnouncedWaitAndTheLastReadingAreInTheValue) {
    progress->BeginTest(0);
    progress->BeginWait("Wait 0.20 secs for to settle", kStart + 1000, 200);
    RunStatusNow now = Now(1100);
    ASSERT_TRUE(now.wait);
    EXPECT_EQ(now.wait->text, "Wait 0.20 secs for to settle");
    EXPECT_EQ(now.wait->leftMs, 100);
    EXPECT_TRUE(now.wait->going);
    EXPECT_EQ(StripText(now), "Test 1 of 3   Elapsed 0:00:01");

    progress->BeginWait("Wait 5.00 secs for to ensure OFF", kStart + 2000, 5000);
    progress->EndWait();  // cut short
    now = Now(3000);
    ASSERT_TRUE(now.wait);
    EXPECT_FALSE(now.wait->going);
    EXPECT_EQ(now.wait->leftMs, 4000);
    EXPECT_EQ(StripText(now), "Test 1 of 3   Elapsed 0:00:03");
    EXPECT_EQ(Now(90000).wait->leftMs, 0);  // never below 0
    progress->ForgetWait();
    EXPECT_FALSE(Now(3000).wait);

    EXPECT_FALSE(Now(3000).reading);
    progress->TookReading(LightReading{4.5, 0});
    progress->TookReading(LightReading{-1.0, 2});
    ASSERT_TRUE(Now(3000).reading);
    EXPECT_EQ(ReadingText(*Now(3000).reading), "Reading voltage = -1.00 #3");
}

TEST_F(RunStatusTest, TheFirstEndCountsAndFreezesTheElapsedTime) {
    progress->BeginWait("Wait 90.00 secs for to get to level 1", kStart, 90000);
    status.Ended(RunEnd::Stopped, kStart + 61000);
    status.Ended(RunEnd::Abandoned, kStart + 62000);  // the stopped test's own end
    EXPECT_EQ(At(90000), "Run stopped   Elapsed 0:01:01");
    EXPECT_EQ(Now(90000).elapsedMs, 61000u);
    EXPECT_FALSE(Now(70000).wait);  // an ended run waits for nothing
    status.SetPowerNote("Unit power switched off");
    EXPECT_EQ(At(90000), "Run stopped   Elapsed 0:01:01   Unit power switched off");

    progress = std::make_shared<RunProgress>();  // as each run has its own
    status.Started(1, kStart, progress);         // a new run forgets the old note
    EXPECT_EQ(At(0), "Test 1 of 1   Elapsed 0:00:00");
    for (const auto& [end, name] : {std::pair{RunEnd::Completed, "Run complete"},
                                    std::pair{RunEnd::Abandoned, "Run abandoned"}}) {
        status.Started(1, kStart, progress);
        status.Ended(end, kStart + 1000);
        EXPECT_EQ(At(5000), std::string(name) + "   Elapsed 0:00:01");
    }
}

TEST(RunStatus, BeforeAnyRunOnlyThePowerNoteShows) {
    RunStatus status;
    EXPECT_FALSE(status.Now(5).begun);
    EXPECT_EQ(StripText(status.Now(5)), "");
    status.Ended(RunEnd::Completed, 5);  // no run: no end
    status.SetPowerNote("Unit power switched off");
    EXPECT_FALSE(status.Now(5).end);
    EXPECT_EQ(StripText(status.Now(5)), "Unit power switched off");
}

}  // namespace
}  // namespace orvalt
