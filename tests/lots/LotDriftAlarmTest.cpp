// A drifting lot on the simulator raises its drift alarms unit by unit, each
// on stderr under the unit's serial as soon as that unit's check is done, and
// each kept with that unit's run, long before a unit fails its limits.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/HeadlessRunner.h"
#include "cli/RecordsCommands.h"
#include "platform/HostIdentity.h"
#include "reading/RunLoad.h"
#include "records/RecordsToRead.h"
#include "spc/OpenAlarms.h"
#include "support/ChildProcess.h"
#include "support/OwnXdgFolders.h"
#include "support/PgCluster.h"
#include "support/TempFolder.h"

namespace orvalt {
namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(ORVALT_SOURCE_DIR) / "examples";

std::vector<std::string> LinesWith(const std::string& text, const std::string& part) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.find(part) != std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

struct LotOutcome {
    int status = 0;
    std::string out, err;
};

LotOutcome RunLot(const std::string& lot, int units, const std::string& database,
                  const std::vector<std::string>& more = {}) {
    std::vector<std::string> args{"--simulate",    "--fast",
                                  "--lot-profile", (kExamples / lot).string(),
                                  "--units",       std::to_string(units),
                                  "--model",       "X100",
                                  "--limits",      (kExamples / "limits-pass.csv").string(),
                                  "--db",          database};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back((kExamples / "TestCfg.csv").string());
    const auto parsed = ParseCliOptions(args);
    EXPECT_TRUE(parsed.options) << parsed.error;
    StopRequest stop;
    std::ostringstream out, err;
    const int status = parsed.options ? RunHeadless(*parsed.options, out, err, stop) : -1;
    return {status, out.str(), err.str()};
}

// "SN-0039: Drift: ..." -> 39.
int UnitNumberOf(const std::string& line) {
    return std::stoi(line.substr(3, 4));
}

// The example drifting lot's Time To OFF A of the level-4 test first steps up
// at unit 39, which raises the first alarm; the first unit to fail its limit
// comes long after. The steady lot's figures only flicker in their last shown
// digit, which is no signal: a thousand units raise no alarm.
TEST(LotDriftAlarm, ADriftIsAlarmedLongBeforeAUnitFailsAndASteadyLotRaisesNone) {
    test::TempFolder folder;
    const test::OwnXdgFolders own(folder.Path());
    const std::string database = (folder / "drift.sqlite").string();
    const LotOutcome drifting = RunLot("lot-drift.json", 200, database);
    ASSERT_EQ(drifting.status, kExitLimitFailed) << drifting.err;
    EXPECT_EQ(LinesWith(drifting.out, "Drift").size(), 0u);

    const std::vector<std::string> alarms = LinesWith(drifting.err, "Drift: ");
    ASSERT_FALSE(alarms.empty()) << drifting.err;
    EXPECT_EQ(alarms.front(),
              "SN-0039: Drift: TimeToOffA of test 2 on X100: 1 unit beyond 3 sigma above the "
              "centre (rule 1)");

    auto db = OpenRecordsToRead(database);
    ASSERT_TRUE(db.Ok() && *db);
    const auto firstFail =
        (*db)->Run("SELECT serial FROM runs WHERE verdict = 'FAIL' ORDER BY started_at LIMIT 1");
    ASSERT_TRUE(firstFail.Ok() && !firstFail->empty());
    const int failedAt = UnitNumberOf(CellText((*firstFail)[0][0]) + ":");
    EXPECT_GE(failedAt - UnitNumberOf(alarms.front()), 20) << "first failure at " << failedAt;

    // Every line on stderr is an alarm kept with its unit's run, and no other.
    const auto kept = (*db)->Run(
        "SELECT r.serial, a.text FROM alarms a JOIN run_keys k ON k.run_id = a.run_id"
        " JOIN runs r ON r.run_uuid = k.run_uuid");
    ASSERT_TRUE(kept.Ok()) << kept.Error();
    std::vector<std::string> keptLines;
    for (const SqlRow& row : *kept) {
        keptLines.push_back(CellText(row[0]) + ": " + CellText(row[1]));
    }
    std::vector<std::string> shown = alarms;
    std::sort(shown.begin(), shown.end());
    std::sort(keptLines.begin(), keptLines.end());
    EXPECT_EQ(shown, keptLines);

    const LotOutcome steady = RunLot("lot-steady.json", 1000, (folder / "steady.sqlite").string());
    ASSERT_EQ(steady.status, kExitRanToEnd) << steady.err;
    EXPECT_EQ(LinesWith(steady.err, "Drift: "), std::vector<std::string>{});
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text.append(line).append("\n");
    }
    return text;
}

// The open alarms as the dashboard reads them: one line each.
std::vector<std::string> OpenAlarmLines(const std::string& database) {
    auto db = OpenRecordsToRead(database);
    EXPECT_TRUE(db.Ok() && *db);
    if (!db.Ok() || !*db) {
        return {"unreadable"};
    }
    const auto open = LoadOpenAlarms(**db, "2000-01-01T00:00:00.000Z");
    EXPECT_TRUE(open.Ok()) << open.Error();
    std::vector<std::string> lines;
    for (const OpenAlarm& alarm : open.Ok() ? *open : std::vector<OpenAlarm>{}) {
        lines.push_back(alarm.runUuid + " " + alarm.series + " " + alarm.host + "/" +
                        alarm.fixture + " " + alarm.newestSerial + " " + alarm.newestBreaks);
    }
    return lines;
}

// Two stations record the drifting and the steady lot at once into one
// server: each is judged by its own units alone, so the drifting lot raises
// exactly the alarms it raises alone and the steady lot none. A good unit on
// the other fixture leaves the drifting fixture's alarms open; a person's
// acknowledgement, recorded with the login, closes them.
TEST(LotDriftAlarm, TwoStationsAtOnceNeitherRaiseNorClearTheOthersAlarms) {
    test::PgCluster cluster;
    ORVALT_NEED_CLUSTER(cluster);
    test::TempFolder folder;
    const test::OwnXdgFolders own(folder.Path());
    cluster.Query("CREATE DATABASE alone");
    cluster.Query("CREATE DATABASE line");
    const auto urlOf = [&](const std::string& name) {
        std::string url = cluster.Url();
        return url.replace(url.find("/postgres?"), 10, "/" + name + "?");
    };
    const LotOutcome alone = RunLot("lot-drift.json", 200, urlOf("alone"), {"--fixture", "Bay1"});
    ASSERT_EQ(alone.status, kExitLimitFailed) << alone.err;
    const std::vector<std::string> aloneAlarms = LinesWith(alone.err, "Drift: ");
    ASSERT_FALSE(aloneAlarms.empty());

    const std::string line = urlOf("line");
    const std::vector<std::string> together = test::RunChildrenTogether(2, [&](int i) {
        const LotOutcome lot = RunLot(i == 0 ? "lot-drift.json" : "lot-steady.json", 200, line,
                                      {"--fixture", i == 0 ? "Bay1" : "Bay2"});
        return std::to_string(lot.status) + "\n" + Joined(LinesWith(lot.err, "Drift: "));
    });
    EXPECT_EQ(together[0], std::to_string(kExitLimitFailed) + "\n" + Joined(aloneAlarms));
    EXPECT_EQ(together[1], std::to_string(kExitRanToEnd) + "\n");

    const std::vector<std::string> open = OpenAlarmLines(line);
    ASSERT_FALSE(open.empty());
    for (const std::string& alarm : open) {
        EXPECT_NE(alarm.find("/Bay1 SN-0200 "), std::string::npos) << alarm;
    }
    const LotOutcome good =
        RunLot("lot-steady.json", 1, line, {"--fixture", "Bay2", "--serial-prefix", "B2-"});
    ASSERT_EQ(good.status, kExitRanToEnd) << good.err;
    EXPECT_EQ(OpenAlarmLines(line), open);

    std::set<std::string> runs;
    for (const std::string& alarm : open) {
        runs.insert(alarm.substr(0, alarm.find(' ')));
    }
    for (const std::string& run : runs) {
        std::ostringstream out, err;
        ASSERT_EQ(
            RunRecordsCommand({"alarms", "--ack", run, "--note", "seen", "--db", line}, out, err),
            kExitRanToEnd)
            << err.str();
        EXPECT_NE(out.str().find("as " + OperatorLoginName() + "."), std::string::npos)
            << out.str();
    }
    EXPECT_EQ(OpenAlarmLines(line), std::vector<std::string>{});
    std::ostringstream out, err;
    EXPECT_EQ(RunRecordsCommand({"alarms", "--db", line}, out, err), kExitRanToEnd) << err.str();
    EXPECT_EQ(out.str(), "No drift alarm is open.\n");
    EXPECT_EQ(RunRecordsCommand({"alarms", "--ack", "no-such-run", "--db", line}, out, err),
              kExitRecordsUnreadable);
    EXPECT_NE(err.str().find("Run no-such-run raised no drift alarm"), std::string::npos);
    auto db = OpenRecordsToRead(line);
    ASSERT_TRUE(db.Ok() && *db);
    const auto acks = (*db)->Run("SELECT DISTINCT acked_by, note FROM alarm_acks");
    ASSERT_TRUE(acks.Ok()) << acks.Error();
    ASSERT_EQ(acks->size(), 1u);
    EXPECT_EQ(CellText((*acks)[0][0]), OperatorLoginName());
    EXPECT_EQ(CellText((*acks)[0][1]), "seen");
}

}  // namespace
}  // namespace orvalt
