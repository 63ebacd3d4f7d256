// Other limits over recorded runs: the counts below are worked out by hand
// from the runs the kit records (V4 at 4.40 to 4.405 for a passing unit and
// 4.70 to 4.705 for a failing one, in each of the two cycle tests; a stopped
// run completed its first test and was stopped in its second).

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli/RecordsCommands.h"
#include "domain/VerdictWord.h"
#include "reading/WhatIf.h"
#include "recording/RunRecorder.h"
#include "records/SqlConnection.h"
#include "support/EitherDatabase.h"
#include "support/JudgedRunsKit.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

// The recorded limits with V4's maximum moved; without RepetitionsFailed when
// `dropRepetitions`.
Limits LimitsWithV4Max(const std::string& max, bool dropRepetitions = false) {
    std::string text = "measurement,min,max\nNotCycling,,0\nV1.c1,2.40,2.80\nV4,," + max +
                       "\nCT,,14.00\n"
                       "TimeToOn,,3.50\n";
    if (!dropRepetitions) {
        text += "RepetitionsFailed,,0\n";
    }
    return ParseLimits(text).Value();
}

class WhatIfTest : public EitherDatabase {
  protected:
    void SetUp() override {
        EitherDatabase::SetUp();
        if (Stopped())
            return;
        {
            RunRecorder recorder(
                {Target(), folder_ / "spool.sqlite", std::chrono::milliseconds(0), {}});
            JudgedRunsMade made;
            const std::pair<const char*, JudgedRunKind> runs[] = {
                {"P-1", JudgedRunKind::Pass}, {"P-2", JudgedRunKind::Pass},
                {"P-3", JudgedRunKind::Pass}, {"F-1", JudgedRunKind::Fail},
                {"F-2", JudgedRunKind::Fail}, {"S-1", JudgedRunKind::Stopped}};
            std::int64_t minute = 0;
            for (const auto& [serial, kind] : runs) {
                RecordJudgedRun(recorder, serial, minute, kind, minute, made);
                ++minute;
            }
        }
        auto db = OpenSqlConnectionToRead(Target());
        ASSERT_TRUE(db.Ok()) << db.Error();
        db_ = std::move(db).Value();
    }

    WhatIf Judged(const Limits& limits, const RunFilter& filter = {}) {
        auto whatIf = JudgeUnderLimits(*db_, {std::nullopt, filter}, limits);
        EXPECT_TRUE(whatIf.Ok()) << whatIf.Error();
        return whatIf ? *whatIf : WhatIf{};
    }

    std::unique_ptr<SqlConnection> db_;
};

std::vector<std::string> Serials(const WhatIf& whatIf) {
    std::vector<std::string> serials;
    for (const ChangedRun& run : whatIf.changed)
        serials.push_back(run.serial + " " + run.before + ">" + VerdictKindWord(run.after));
    return serials;
}

TEST_P(WhatIfTest, ALooserLimitPassesTheFailedUnitsAndTheSameLimitsChangeNothing) {
    if (Stopped())
        return;
    const WhatIf same = Judged(LimitsWithV4Max("4.50"));
    EXPECT_EQ(same.runs, 6);
    EXPECT_EQ(same.passedBefore, 3);
    EXPECT_EQ(same.passedAfter, 3);
    EXPECT_TRUE(same.shifts.empty());
    EXPECT_TRUE(same.changed.empty());

    const WhatIf looser = Judged(LimitsWithV4Max("4.80"));
    EXPECT_EQ(looser.passedAfter, 5);
    ASSERT_EQ(looser.shifts.size(), 2u);  // V4 of either cycle test
    for (int test = 0; test < 2; ++test) {
        EXPECT_EQ(looser.shifts[test].testIndex, test);
        EXPECT_EQ(looser.shifts[test].measurement, "V4");
        EXPECT_EQ(looser.shifts[test].failToPass, 2);
        EXPECT_EQ(looser.shifts[test].passToFail, 0);
    }
    EXPECT_EQ(Serials(looser), (std::vector<std::string>{"F-1 FAIL>PASS", "F-2 FAIL>PASS"}));
}

TEST_P(WhatIfTest, ATighterLimitFailsThePassedAndTheStoppedUnitsAndADroppedLimitJudgesNothing) {
    if (Stopped())
        return;
    const WhatIf tighter = Judged(LimitsWithV4Max("4.30", true));
    EXPECT_EQ(tighter.passedAfter, 0);
    ASSERT_EQ(tighter.shifts.size(), 3u);
    // The stopped run's first test passed V4 too; its second never measured.
    EXPECT_EQ(tighter.shifts[0].passToFail, 4);
    EXPECT_EQ(tighter.shifts[1].passToFail, 3);
    EXPECT_EQ(tighter.shifts[2].measurement, "RepetitionsFailed");
    EXPECT_EQ(tighter.shifts[2].noLongerJudged, 5);
    // A failed test outranks the stopped one's error.
    EXPECT_EQ(Serials(tighter), (std::vector<std::string>{"P-1 PASS>FAIL", "P-2 PASS>FAIL",
                                                          "P-3 PASS>FAIL", "S-1 ERROR>FAIL"}));
    ASSERT_FALSE(tighter.changed[0].reasons.empty());
    EXPECT_NE(tighter.changed[0].reasons[0].find("V4 4.40 > 4.30"), std::string::npos)
        << tighter.changed[0].reasons[0];

    // Limits that judge no figure of the on/off test leave it, and so every
    // unit that did not fail, not judged.
    const WhatIf v4Only = Judged(ParseLimits("measurement,min,max\nV4,,4.50\n").Value());
    EXPECT_EQ(Serials(v4Only),
              (std::vector<std::string>{"P-1 PASS>NOT JUDGED", "P-2 PASS>NOT JUDGED",
                                        "P-3 PASS>NOT JUDGED"}));

    const WhatIf onePass = Judged(LimitsWithV4Max("4.30", true), {.serialStart = "P-"});
    EXPECT_EQ(onePass.runs, 3);
    EXPECT_EQ(onePass.changed.size(), 3u);
}

TEST_P(WhatIfTest, TheCommandTellsTheChangesAndWritesThePageButNoRecord) {
    if (Stopped())
        return;
    const std::string limits = (folder_ / "new-limits.csv").string();
    std::ofstream(limits) << "measurement,min,max\nNotCycling,,0\nV1.c1,2.40,2.80\nV4,,4.80\n"
                             "CT,,14.00\nTimeToOn,,3.50\nRepetitionsFailed,,0\n";
    const std::string page = (folder_ / "whatif.html").string();
    const auto before = db_->Run("SELECT verdict FROM runs ORDER BY started_at");
    std::ostringstream out, err;
    const auto status = RunRecordsCommand(
        {"rejudge", "--limits", limits, "--out", page, "--db", Target(), "--until", "2026-12-01"},
        out, err);
    EXPECT_EQ(status, 0) << err.str();
    const std::string text = out.str();
    EXPECT_NE(text.find("Passed: 3 of 6 (50.0 %) as recorded, 5 of 6 (83.3 %) under these "
                        "limits.\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Test 1 V4: 0 PASS to FAIL, 2 FAIL to PASS\n"), std::string::npos) << text;
    EXPECT_NE(text.find("2 runs change their unit verdict:\n"), std::string::npos) << text;
    std::ifstream html(page);
    const std::string written((std::istreambuf_iterator<char>(html)), {});
    EXPECT_NE(written.find("<td>F-2 #1</td>"), std::string::npos) << written;
    EXPECT_EQ(db_->Run("SELECT verdict FROM runs ORDER BY started_at").Value(), before.Value());

    std::ofstream(limits) << "measurement,min,max\nV4,,four\n";
    std::ostringstream out2, err2;
    EXPECT_EQ(RunRecordsCommand({"rejudge", "--limits", limits, "--db", Target()}, out2, err2), 2);
    EXPECT_NE(err2.str().find("Line 2"), std::string::npos) << err2.str();
}

INSTANTIATE_TEST_SUITE_P(SqliteAndServer, WhatIfTest, ::testing::Bool());

}  // namespace
}  // namespace orvalt::test
