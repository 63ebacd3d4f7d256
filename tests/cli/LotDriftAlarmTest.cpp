// A drifting lot on the simulator raises its drift alarms unit by unit, each
// on stderr under the unit's serial as soon as that unit's check is done, and
// each kept with that unit's run, long before a unit fails its limits.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/HeadlessRunner.h"
#include "lookback/RunLoad.h"
#include "records/RecordsToRead.h"
#include "support/TempFolder.h"

namespace orvalt {
namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(ORVALT_SOURCE_DIR) / "examples";

// The data and settings folders of the test, the process's own again after it.
class OwnFolders {
  public:
    explicit OwnFolders(const fs::path& folder) {
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            const char* was = std::getenv(name);
            saved_.push_back({name, was ? std::optional<std::string>(was) : std::nullopt});
            ::setenv(name, folder.c_str(), 1);
        }
    }
    ~OwnFolders() {
        for (const auto& [name, was] : saved_) {
            was ? ::setenv(name, was->c_str(), 1) : ::unsetenv(name);
        }
    }

  private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

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

LotOutcome RunLot(const std::string& lot, int units, const std::string& database) {
    const auto parsed =
        ParseCliOptions({"--simulate", "--fast", "--lot-profile", (kExamples / lot).string(),
                         "--units", std::to_string(units), "--model", "X100", "--limits",
                         (kExamples / "limits-pass.csv").string(), "--db", database,
                         (kExamples / "TestCfg.csv").string()});
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
    const OwnFolders own(folder.Path());
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

}  // namespace
}  // namespace orvalt
