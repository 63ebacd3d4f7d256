// Runs recorded by sessions on the simulator in virtual time and judged
// against limits, as the records are read back: the report of the last run is
// of one that ended, every run judged again agrees with its record while a
// tampered record does not, and a scripted lot's yield is the count its
// script gives by hand.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>

#include "RecordingSessionKit.h"
#include "config/TestPlanFile.h"
#include "output/ReportFile.h"
#include "platform/HostIdentity.h"
#include "reading/History.h"
#include "reading/Rejudge.h"
#include "reading/RunLoad.h"
#include "reading/Yield.h"
#include "records/Sha256.h"
#include "station/StationSession.h"
#include "support/StoredWords.h"
#include "support/TempFolder.h"

namespace orvalt {
namespace {

using namespace std::chrono_literals;
using test::TempFolder;

const std::filesystem::path kExamples = std::filesystem::path(ORVALT_SOURCE_DIR) / "examples";

// A unit whose fourth level is too high: limits-pass fails it on V4.max.
UnitProfile HighFourthLevel() {
    UnitProfile unit;
    unit.levels = {2.6, 3.3, 4.0, 5.2};
    return unit;
}

// A unit whose readings fail part-way: its run is abandoned.
UnitProfile FailingReads() {
    UnitProfile unit;
    unit.failReadAfter = 40;
    return unit;
}

// Calls `take` on the worker's thread as each test ends.
class TestEndWatch final : public SessionObserver {
  public:
    explicit TestEndWatch(std::function<void(int row)> take) : take_(std::move(take)) {}
    void TestEnded(const TestEnd& test) override { take_(test.row); }

  private:
    std::function<void(int row)> take_;
};

// The station's data folder (where the reports go) in `folder` while it lives.
class DataHomeIn {
  public:
    explicit DataHomeIn(const TempFolder& folder) {
        const char* was = std::getenv("XDG_DATA_HOME");
        saved_ = was ? std::optional<std::string>(was) : std::nullopt;
        ::setenv("XDG_DATA_HOME", folder.Path().c_str(), 1);
    }
    ~DataHomeIn() {
        saved_ ? ::setenv("XDG_DATA_HOME", saved_->c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    }
    DataHomeIn(const DataHomeIn&) = delete;
    DataHomeIn& operator=(const DataHomeIn&) = delete;

  private:
    std::optional<std::string> saved_;
};

// One database in a folder of its own, and sessions on the simulator in
// virtual time that record into it: the example plan, the unit "X1" of
// fixture "Bench A", lot "WO-77".
class JudgedRuns {
  public:
    std::unique_ptr<StationSession> Session(const std::string& serial, UnitProfile unit = {}) {
        auto session = test::RecordingSession(test::IntoFolder(folder, database), std::move(unit));
        session->SetUnitOnTest(serial, "", "WO-77");
        return session;
    }

    // One run of the plan to its end (or its abandon), judged against
    // `limits` when given; its UUID.
    std::string Run(StationSession& session, const std::filesystem::path& limits = {}) {
        if (!limits.empty()) {
            EXPECT_EQ(session.LoadLimits(limits, StationSession::Remember::No), "");
        }
        EXPECT_TRUE(session.Start().Started());
        test::HandleUntilOver(session);
        return test::LastRunUuid(session, database);
    }

    // A run of its own session.
    std::string Run(const std::string& serial, UnitProfile unit,
                    const std::filesystem::path& limits) {
        auto session = Session(serial, std::move(unit));
        return Run(*session, limits);
    }

    std::unique_ptr<SqlConnection> Open() {
        auto opened = OpenSqlConnection(database);
        EXPECT_TRUE(opened.Ok()) << opened.Error();
        return opened ? std::move(opened).Value() : nullptr;
    }

    void Sql(const std::string& statement, const std::vector<SqlValue>& values = {}) {
        const auto db = Open();
        ASSERT_TRUE(db);
        const auto done = db->Run(statement, values);
        ASSERT_TRUE(done.Ok()) << done.Error();
    }

    // Every line rejudge says over the whole database, then its summary.
    std::vector<std::string> Rejudge() {
        const auto db = Open();
        std::vector<std::string> lines;
        const auto tally =
            RejudgeRuns(*db, {}, [&lines](const std::string& line) { lines.push_back(line); });
        EXPECT_TRUE(tally.Ok()) << tally.Error();
        lines.push_back(tally ? RejudgeSummary(*tally) : tally.Error());
        return lines;
    }

    TempFolder folder;
    std::string database = (folder / "results.sqlite").string();

  private:
};

// The window's "Open Report of Last Run" during a run: the run before it, or,
// during the session's first run, none yet; once the run is over, that run.
TEST(JudgedRecords, TheLastRunsReportIsOfARunThatEnded) {
    JudgedRuns runs;
    const DataHomeIn dataHome(runs.folder);
    auto session = runs.Session("SN-1");
    const auto reports = StationRecording::ReportFolder();
    ASSERT_EQ(reports, runs.folder / "Kestrune" / "Orvalt" / "Reports");
    std::vector<StationRecording::Report> during;
    // As the menu would be chosen while the run goes.
    TestEndWatch watch([&](int row) {
        if (row == 1) {
            during.push_back(session->WriteLastRunReport());
        }
    });
    session->Observers().Attach(watch);
    const std::string first = runs.Run(*session);
    const std::string second = runs.Run(*session);
    session->Observers().Detach(watch);
    ASSERT_EQ(during.size(), 2u);
    EXPECT_EQ(during[0].file, std::filesystem::path());
    EXPECT_EQ(during[0].problem, kNoRunEnded);
    EXPECT_EQ(during[1].file, reports / ("orvalt-report-" + first + ".html"));
    EXPECT_NE(test::ReadBytes(during[1].file).find("<th>Run</th><td>" + first + "</td>"),
              std::string::npos);
    const auto after = session->WriteLastRunReport();
    EXPECT_EQ(after.file, reports / ("orvalt-report-" + second + ".html")) << after.problem;
}

// A run judged against limits, one that failed, one abandoned and one
// without limits: judged again, every record agrees. Each change to a record
// is then found, and only it: a test's verdict, a measurement's bound, a
// measurement's value (with what follows from it), limits that no longer read.
TEST(JudgedRecords, RejudgeAgreesWithEveryRecordAndFindsEachChangeToOne) {
    JudgedRuns runs;
    const std::string failed = runs.Run("SN-1", {}, kExamples / "limits-fail.csv");
    runs.Run("SN-2", {}, kExamples / "limits-pass.csv");
    runs.Run("SN-3", FailingReads(), kExamples / "limits-pass.csv");
    runs.Run("SN-4", {}, {});
    const std::string agreed =
        "Rejudged 4 runs: 3 judged, 1 not judged, 0 that can't be judged again, 0 disagreements.";
    ASSERT_EQ(runs.Rejudge(), std::vector<std::string>{agreed});

    const std::string run = "run " + failed + ": ";
    const auto oneDisagreement = [&](const std::vector<std::string>& lines) {
        return std::vector<std::string>{lines.front(),
                                        "Rejudged 4 runs: 3 judged, 1 not judged, 0 that can't be "
                                        "judged again, 1 disagreement."};
    };
    const std::string test2 = "run_id = (SELECT run_id FROM run_keys WHERE run_uuid = '" + failed +
                              "') AND test_index = 1";
    runs.Sql("UPDATE tests SET verdict = 'PASS' WHERE " + test2);
    std::vector<std::string> lines = runs.Rejudge();
    EXPECT_EQ(lines,
              oneDisagreement({run + "test 2: verdict stored \"PASS V4 4.70 > 4.50\", judged "
                                     "\"FAIL V4 4.70 > 4.50\""}));
    runs.Sql("UPDATE tests SET verdict = 'FAIL' WHERE " + test2);

    runs.Sql("UPDATE measurements SET max_value = 4.6 WHERE name = 'V4' AND " + test2);
    EXPECT_EQ(runs.Rejudge(), oneDisagreement({run + "test 2: V4: max stored 4.6, judged 4.5"}));
    runs.Sql("UPDATE measurements SET max_value = 4.5 WHERE name = 'V4' AND " + test2);
    ASSERT_EQ(runs.Rejudge().back(), agreed);

    // 4.504 shows as 4.50, which the maximum 4.50 lets through.
    runs.Sql("UPDATE measurements SET value = 4.504 WHERE name = 'V4' AND " + test2);
    EXPECT_EQ(runs.Rejudge(),
              (std::vector<std::string>{
                  run + "test 2: verdict stored \"FAIL V4 4.70 > 4.50\", judged \"PASS\"",
                  run + "test 2: V4: outcome stored FAIL, judged PASS",
                  run + "unit verdict stored FAIL, judged PASS",
                  "Rejudged 4 runs: 3 judged, 1 not judged, 0 that can't be judged again, 3 "
                  "disagreements."}));
    runs.Sql("UPDATE measurements SET value = 4.7 WHERE name = 'V4' AND " + test2);

    runs.Sql("UPDATE runs SET limits_text = limits_text || 'V9,,1' || char(10) WHERE run_uuid = $1",
             {failed});
    lines = runs.Rejudge();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], run +
                            "its limits \"limits-fail.csv\" no longer read: Line 8: unknown "
                            "measurement \"V9\"");
    EXPECT_EQ(lines[1],
              "Rejudged 4 runs: 2 judged, 1 not judged, 1 that can't be judged again, 0 "
              "disagreements.");
}

// A lot of 20 units through one fixture, judged against limits-pass. Each
// unit's script is its attempts in order: P a healthy unit (PASS), F one whose
// fourth level is too high (FAIL), A one whose readings fail (abandoned: lost
// time, never a failure). The units go round in rounds, as a line retests the
// failed ones after the lot's first pass.
TEST(JudgedRecords, AScriptedLotsYieldIsItsCountByHand) {
    const std::map<std::string, std::string> script{
        {"L01", "P"},  {"L02", "FP"},  {"L03", "P"},   {"L04", "AP"}, {"L05", "FFP"},
        {"L06", "P"},  {"L07", "F"},   {"L08", "P"},   {"L09", "FP"}, {"L10", "P"},
        {"L11", "PF"}, {"L12", "AFP"}, {"L13", "P"},   {"L14", "FF"}, {"L15", "P"},
        {"L16", "A"},  {"L17", "P"},   {"L18", "FAP"}, {"L19", "P"},  {"L20", "P"}};
    JudgedRuns runs;
    const auto limits = kExamples / "limits-pass.csv";
    for (std::size_t round = 0; round < 3; ++round) {
        for (const auto& [serial, attempts] : script) {
            if (round < attempts.size()) {
                const char how = attempts[round];
                runs.Run(serial,
                         how == 'P'   ? UnitProfile{}
                         : how == 'F' ? HighFourthLevel()
                                      : FailingReads(),
                         limits);
            }
        }
    }

    YieldRow byHand;
    byHand.group = "X1";
    for (const auto& [serial, attempts] : script) {
        std::string completed = attempts;
        std::erase(completed, 'A');
        ++byHand.units;
        byHand.lostRuns += static_cast<std::int64_t>(attempts.size() - completed.size());
        if (completed.empty()) {
            continue;
        }
        ++byHand.judgedUnits;
        byHand.firstPass += completed.front() == 'P' ? 1 : 0;
        byHand.finalPass += completed.back() == 'P' ? 1 : 0;
        byHand.stillFailing += completed.back() == 'P' ? 0 : 1;
        byHand.retests += static_cast<std::int64_t>(completed.size() - 1);
    }
    ASSERT_EQ(byHand.judgedUnits, 19);
    ASSERT_EQ(byHand.firstPass, 12);
    ASSERT_EQ(byHand.finalPass, 16);
    ASSERT_EQ(byHand.retests, 8);

    const auto db = runs.Open();
    const std::map<YieldGrouping, std::string> groups{
        {YieldGrouping::Model, "X1"},
        {YieldGrouping::Fixture, StationHostName() + " / Bench A"},
        {YieldGrouping::Lot, "WO-77"}};
    for (const auto& [by, group] : groups) {
        const auto yield = QueryYield(*db, by, {});
        ASSERT_TRUE(yield.Ok()) << yield.Error();
        ASSERT_EQ(yield->size(), 1u);
        const YieldRow& lot = yield->front();
        EXPECT_EQ(lot.group, group);
        EXPECT_EQ(lot.units, byHand.units);
        EXPECT_EQ(lot.judgedUnits, byHand.judgedUnits);
        EXPECT_EQ(lot.firstPass, byHand.firstPass);
        EXPECT_EQ(lot.finalPass, byHand.finalPass);
        EXPECT_EQ(lot.stillFailing, byHand.stillFailing);
        EXPECT_EQ(lot.retests, byHand.retests);
        EXPECT_EQ(lot.lostRuns, byHand.lostRuns);
    }

    // The database numbered each unit's attempts as they started.
    const auto history = QueryHistory(*db, {.serial = "L18"});
    ASSERT_TRUE(history.Ok()) << history.Error();
    ASSERT_EQ(history->size(), 3u);
    EXPECT_EQ((*history)[0].attempt, 3);
    EXPECT_EQ(WordRead((*history)[0].verdict), "PASS");
    EXPECT_EQ((*history)[1].endedHow, "abandoned");
    EXPECT_EQ((*history)[2].attempt, 1);
    EXPECT_EQ(WordRead((*history)[2].verdict), "FAIL");

    // And every record of the lot proves its verdict.
    EXPECT_EQ(runs.Rejudge().back(),
              "Rejudged 31 runs: 31 judged, 0 not judged, 0 that can't be judged again, 0 "
              "disagreements.");
}

}  // namespace
}  // namespace orvalt
