// The readers of run rows meeting a verdict word this station never writes (a
// damaged or foreign record): it is kept and shown as it stands, and counts
// as judged but never as a pass.

#include <gtest/gtest.h>

#include "output/HistoryText.h"
#include "reading/History.h"
#include "reading/RunLoad.h"
#include "reading/Yield.h"

namespace orvalt {
namespace {

// A completed run of one test as YieldColumnsSql selects it.
SqlRow YieldRun(const char* serial, const char* started, SqlCell verdict) {
    return {
        "X100", serial, started, "2026-12-08T09:00:00.000Z", "completed", std::move(verdict), "1",
        "1",    "0",    "0"};
}

TEST(StoredVerdictRead, AVerdictCellIsReadOnceNullAndEmptyBeingNone) {
    EXPECT_FALSE(StoredUnitVerdict(std::nullopt));
    EXPECT_FALSE(StoredUnitVerdict(""));
    EXPECT_EQ(StoredUnitVerdict("FAIL"), StoredVerdict(VerdictKind::Fail));
    EXPECT_EQ(StoredUnitVerdict("NOT JUDGED"), StoredVerdict(VerdictKind::NotJudged));
    const auto foreign = StoredUnitVerdict("fail");
    ASSERT_TRUE(foreign);
    EXPECT_EQ(foreign->Kind(), std::nullopt);
    EXPECT_EQ(foreign->Word(), "fail");
    EXPECT_EQ(VerdictKindOfCell("ERROR"), VerdictKind::Error);
    EXPECT_EQ(VerdictKindOfCell(""), std::nullopt);
    EXPECT_EQ(VerdictKindOfCell(std::nullopt), std::nullopt);
}

// SN-1 failed, then got a word of no kind: judged twice, still failing.
// SN-2 got a word of no kind, then passed: not a first pass, a final one.
// SN-3 has no verdict at all: it is not judged.
TEST(StoredVerdictRead, YieldCountsAWordOfNoKindAsJudgedAndNotPassed) {
    YieldCounter counter;
    counter.Add(YieldRun("SN-1", "2026-12-08T08:00:00.000Z", "FAIL"));
    counter.Add(YieldRun("SN-1", "2026-12-08T08:01:00.000Z", "N/A"));
    counter.Add(YieldRun("SN-2", "2026-12-08T08:02:00.000Z", "PASS "));
    counter.Add(YieldRun("SN-2", "2026-12-08T08:03:00.000Z", "PASS"));
    counter.Add(YieldRun("SN-3", "2026-12-08T08:04:00.000Z", std::nullopt));
    const std::vector<YieldRow> rows = counter.Finish();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].units, 3);
    EXPECT_EQ(rows[0].judgedUnits, 2);
    EXPECT_EQ(rows[0].firstPass, 0);
    EXPECT_EQ(rows[0].finalPass, 1);
    EXPECT_EQ(rows[0].stillFailing, 1);
    EXPECT_EQ(rows[0].retests, 2);
}

TEST(StoredVerdictRead, HistoryShowsAWordOfNoKindAsItStandsEscaped) {
    HistoryRow row;
    row.startedAt = "2026-12-08T08:00:00.000Z";
    row.endedAt = "2026-12-08T08:01:00.000Z";
    row.endedHow = "completed";
    row.uuid = "r1";
    row.verdict = StoredVerdict::Read("pass\x1b");
    EXPECT_NE(HistoryLine(row).find("  completed  pass\\x1b  "), std::string::npos)
        << HistoryLine(row);
    row.verdict.reset();
    EXPECT_NE(HistoryLine(row).find("  completed  not judged  "), std::string::npos);
}

}  // namespace
}  // namespace orvalt
