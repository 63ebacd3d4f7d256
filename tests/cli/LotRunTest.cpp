#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/HeadlessRunner.h"
#include "cli/LotRun.h"
#include "reading/History.h"
#include "reading/RunLoad.h"
#include "support/TempFolder.h"

namespace orvalt {
namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(ORVALT_SOURCE_DIR) / "examples";

TEST(LotOptions, ALotNeedsItsOptionsTogetherAndTheSimulator) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const std::vector<std::string> lot{"--simulate", "--lot-profile", "l.json", "--units", "5"};
    const auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> args = lot;
        args.insert(args.end(), more.begin(), more.end());
        args.push_back("p.csv");
        return args;
    };
    const std::vector<Case> cases{
        {{"--units", "5", "p.csv"}, "--units needs --lot-profile"},
        {{"--serial-prefix", "A-", "p.csv"}, "--serial-prefix needs --lot-profile"},
        {{"--lot-profile", "l.json", "--units", "5", "p.csv"}, "--lot-profile needs --simulate"},
        {{"--simulate", "--lot-profile", "l.json", "p.csv"}, "--lot-profile needs --units N"},
        {{"--simulate", "--lot-profile", "l.json", "--units", "0", "p.csv"},
         "--units must be from 1 to 1000000"},
        {{"--simulate", "--lot-profile", "l.json", "--units", "1000001", "p.csv"},
         "--units must be from 1 to 1000000"},
        {{"--simulate", "--lot-profile", "l.json", "--units", "x5", "p.csv"},
         "bad value for --units: x5"},
        {with({"--unit", "u.json"}),
         "--unit and --lot-profile contradict each other: the lot profile holds its unit"},
        {with({"--serial", "S1"}),
         "--serial names one unit: a lot's serial numbers come from --serial-prefix"},
        {with({"--save", "run.csv"}), "--save saves one run, not a lot"},
        {with({"--serial-prefix", std::string(124, 'p')}),
         "--serial-prefix makes serial numbers longer than 127 characters"},
    };
    for (const Case& c : cases) {
        const CliParseResult parsed = ParseCliOptions(c.args);
        EXPECT_FALSE(parsed.options) << c.error;
        EXPECT_EQ(parsed.error, c.error);
    }
    // Characters are counted, as the window's fields count them, not bytes.
    std::string accented;
    for (int i = 0; i < 123; ++i) {
        accented += "\xC3\xA9";  // é
    }
    EXPECT_TRUE(ParseCliOptions(with({"--serial-prefix", accented})).options);
    EXPECT_EQ(ParseCliOptions(with({"--serial-prefix", accented + "p"})).error,
              "--serial-prefix makes serial numbers longer than 127 characters");
    const CliParseResult fits = ParseCliOptions(with({"--serial-prefix", std::string(123, 'p')}));
    ASSERT_TRUE(fits.options) << fits.error;
    EXPECT_EQ(fits.options->units, 5);
    const CliParseResult plain = ParseCliOptions(with({}));
    ASSERT_TRUE(plain.options) << plain.error;
    EXPECT_EQ(LotSerialPrefix(*plain.options), "SN-");
}

TEST(LotRun, SerialNumbersSortInTheOrderTheUnitsRan) {
    EXPECT_EQ(LotSerial("SN-", 7, 200), "SN-0007");
    EXPECT_EQ(LotSerial("SN-", 200, 200), "SN-0200");
    EXPECT_EQ(LotSerial("L", 42, 12345), "L00042");
    EXPECT_EQ(LotSerial("", 1000000, 1000000), "1000000");
}

TEST(LotRun, TheLotEndsWithItsGravestUnit) {
    LotTally tally;
    tally.Add(kExitRanToEnd, VerdictKind::Pass);
    EXPECT_EQ(tally.Status(), kExitRanToEnd);
    tally.Add(kExitLimitFailed, VerdictKind::Fail);
    tally.Add(kExitRanToEnd, VerdictKind::Pass);
    EXPECT_EQ(tally.Status(), kExitLimitFailed);
    tally.Add(kExitAbandonedOrStopped, VerdictKind::Error);
    tally.Add(kExitLimitFailed, VerdictKind::Fail);
    EXPECT_EQ(tally.Status(), kExitAbandonedOrStopped);
    EXPECT_EQ(tally.Line(10, true, false), "LOT: 5 of 10 units, 2 PASS, 2 FAIL, 1 ERROR");
    EXPECT_EQ(tally.Line(10, false, true), "LOT: 5 of 10 units, stopped");
    tally.Add(kExitDeviceNotOpened, std::nullopt);
    EXPECT_EQ(tally.Status(), kExitDeviceNotOpened);
}

// Passes what is written on to a string, and asks for a stop (as Ctrl-C does)
// the moment a given text has been written.
class StopOnText final : public std::stringbuf {
  public:
    StopOnText(StopRequest& stop, std::string text) : stop_(stop), text_(std::move(text)) {}

  private:
    int sync() override {
        if (!text_.empty() && str().find(text_) != std::string::npos) {
            stop_.Request();
            text_.clear();
        }
        return 0;
    }
    StopRequest& stop_;
    std::string text_;
};

// A lot whose decay after power cut slows by 45 ms a unit: over 12 units the
// example plan's TimeToOffA at level 4 climbs past the limit of 1.00 s.
constexpr const char* kCreepingLot = R"({
    "seed": 12,
    "drift": {"figure": "offTauMs", "perUnit": 45},
    "noise": {"offTauMs": 5, "level1": 0.003, "level4": 0.003}})";

class LotRecording : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1);
        ::setenv("XDG_DATA_HOME", folder.Path().c_str(), 1);
        test::WriteBytes(folder / "lot.json", kCreepingLot);
    }

    int RunLot(const std::string& database, std::vector<std::string> more = {},
               const std::string& stopAt = {}) {
        std::vector<std::string> args{"--simulate",
                                      "--fast",
                                      "--lot-profile",
                                      (folder / "lot.json").string(),
                                      "--units",
                                      "12",
                                      "--serial-prefix",
                                      "L7-",
                                      "--lot",
                                      "WO-5",
                                      "--model",
                                      "X100",
                                      "--limits",
                                      (kExamples / "limits-pass.csv").string(),
                                      "--db",
                                      database};
        args.insert(args.end(), more.begin(), more.end());
        args.push_back((kExamples / "TestCfg.csv").string());
        const auto parsed = ParseCliOptions(args);
        EXPECT_TRUE(parsed.options) << parsed.error;
        StopOnText outBuffer(stop, stopAt);
        std::ostream o(&outBuffer);
        std::ostringstream e;
        const int status = RunHeadless(*parsed.options, o, e, stop);
        out = outBuffer.str();
        err = e.str();
        return status;
    }

    // The runs of the database in the order they started.
    std::vector<LoadedRun> RunsInOrder(const std::string& database) {
        std::vector<LoadedRun> runs;
        auto db = OpenSqlConnection(database);
        EXPECT_TRUE(db.Ok()) << db.Error();
        if (!db) {
            return runs;
        }
        const auto rows = QueryHistory(**db, RunFilter{});
        EXPECT_TRUE(rows.Ok()) << rows.Error();
        for (auto row = rows->rbegin(); row != rows->rend(); ++row) {
            const auto run = LoadRun(**db, row->uuid, RunParts::WithoutTrace);
            EXPECT_TRUE(run.Ok() && run->has_value()) << row->uuid;
            runs.push_back(run.Ok() ? run->value_or(LoadedRun{}) : LoadedRun{});
        }
        return runs;
    }

    test::TempFolder folder;
    StopRequest stop;
    std::string out, err;
};

// The level-4 test's (the plan's second) TimeToOffA as recorded.
double RecordedTimeToOffA(const LoadedRun& run) {
    for (const LoadedTest& test : run.tests) {
        if (test.start.index != 1) {
            continue;
        }
        for (const MeasurementRecord& m : test.measurements) {
            if (m.figure.name == "TimeToOffA") {
                return m.figure.value;
            }
        }
    }
    ADD_FAILURE() << "no TimeToOffA in test 2 of " << run.start.unit.serial;
    return -1.0;
}

std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& start) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with(start)) {
            lines.push_back(line);
        }
    }
    return lines;
}

TEST_F(LotRecording, EachUnitIsRecordedUnderItsSerialAndTheDriftShowsInItsRecords) {
    const std::string database = (folder / "lot.sqlite").string();
    ASSERT_EQ(RunLot(database), kExitLimitFailed) << err;
    EXPECT_EQ(err, "Unit power switched off\n");
    const auto units = LinesStartingWith(out, "UNIT ");
    ASSERT_EQ(units.size(), 12u) << out;
    EXPECT_EQ(units.front(), "UNIT 1 of 12: L7-0001");
    EXPECT_EQ(units.back(), "UNIT 12 of 12: L7-0012");
    EXPECT_EQ(LinesStartingWith(out, "VERDICT UNIT: ").size(), 12u);

    const std::vector<LoadedRun> runs = RunsInOrder(database);
    ASSERT_EQ(runs.size(), 12u);
    std::vector<double> timeToOffA;
    int failed = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const LoadedRun& run = runs[i];
        EXPECT_EQ(run.start.unit.serial, LotSerial("L7-", static_cast<std::int64_t>(i + 1), 12));
        EXPECT_EQ(run.start.unit.model, "X100");
        EXPECT_EQ(run.start.lot, "WO-5");
        EXPECT_EQ(run.attempt, 1);
        EXPECT_EQ(run.endedHow, "completed");
        timeToOffA.push_back(RecordedTimeToOffA(run));
        // Its verdict follows the drifting figure: the other limits all pass.
        const VerdictKind want = timeToOffA.back() > 1.00 ? VerdictKind::Fail : VerdictKind::Pass;
        ASSERT_TRUE(run.unitVerdict) << run.start.unit.serial;
        EXPECT_EQ(run.unitVerdict->Kind(), want) << run.start.unit.serial;
        failed += want == VerdictKind::Fail ? 1 : 0;
    }
    EXPECT_TRUE(std::is_sorted(timeToOffA.begin(), timeToOffA.end()));
    EXPECT_LE(timeToOffA.front(), 0.75);
    EXPECT_GT(timeToOffA.back(), 1.00);
    EXPECT_EQ(LinesStartingWith(out, "LOT: ").back(),
              "LOT: 12 of 12 units, " + std::to_string(12 - failed) + " PASS, " +
                  std::to_string(failed) + " FAIL, 0 ERROR");

    // The same lot again is the same units: the same log, the same figures.
    const std::string firstOut = out;
    const std::string again = (folder / "again.sqlite").string();
    ASSERT_EQ(RunLot(again), kExitLimitFailed) << err;
    EXPECT_EQ(out, firstOut);
    std::vector<double> againTimeToOffA;
    for (const LoadedRun& run : RunsInOrder(again)) {
        againTimeToOffA.push_back(RecordedTimeToOffA(run));
    }
    EXPECT_EQ(againTimeToOffA, timeToOffA);
}

// Ctrl-C stops the unit going as it stops one run; that run is recorded as
// stopped, and no unit after it starts.
TEST_F(LotRecording, AStopEndsTheLotWithTheRunGoingRecorded) {
    const std::string database = (folder / "stopped.sqlite").string();
    EXPECT_EQ(RunLot(database, {}, "UNIT 3 of 12"), kExitAbandonedOrStopped) << err;
    EXPECT_EQ(LinesStartingWith(out, "UNIT ").size(), 3u) << out;
    EXPECT_EQ(LinesStartingWith(out, "LOT: ").back(),
              "LOT: 3 of 12 units, 2 PASS, 0 FAIL, 1 ERROR, stopped");
    const std::vector<LoadedRun> runs = RunsInOrder(database);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[1].endedHow, "completed");
    EXPECT_EQ(runs[2].start.unit.serial, "L7-0003");
    EXPECT_EQ(runs[2].endedHow, "stopped");
}

// A prefix holding a terminal's escape and a line break prints escaped in
// the runner's lines: it can neither forge a UNIT line nor drive the terminal.
// The records keep it as it was given.
TEST_F(LotRecording, ASerialPrefixThatWouldForgeALineIsPrintedEscaped) {
    const std::string prefix = "\x1b[2J\nUNIT 9 of 9: X-";
    const std::string database = (folder / "forged.sqlite").string();
    RunLot(database, {"--units", "2", "--serial-prefix", prefix});
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    EXPECT_EQ(LinesStartingWith(out, "UNIT "),
              (std::vector<std::string>{"UNIT 1 of 2: \\x1b[2J\\nUNIT 9 of 9: X-0001",
                                        "UNIT 2 of 2: \\x1b[2J\\nUNIT 9 of 9: X-0002"}))
        << out;
    const std::vector<LoadedRun> runs = RunsInOrder(database);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].start.unit.serial, prefix + "0002");
}

TEST_F(LotRecording, ABrokenLotProfileIsRefusedBeforeAnythingRuns) {
    test::WriteBytes(folder / "lot.json", R"({"drift": {"figure": "offTau", "perUnit": 3}})");
    const std::string database = (folder / "none.sqlite").string();
    EXPECT_EQ(RunLot(database), kExitUsage);
    EXPECT_EQ(out, "");
    EXPECT_TRUE(err.starts_with("lot profile: \"drift\": \"figure\" must name one of level1, "))
        << err;
    EXPECT_FALSE(fs::exists(database));
}

}  // namespace
}  // namespace orvalt
