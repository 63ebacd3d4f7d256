// Runs recorded by sessions on the simulator in virtual time and judged
// against limits, as the records are read back: the report of the last run is
// of one that ended, every run judged again agrees with its record while a
// tampered record does not, and a scripted lot's yield is the count its
// script gives by hand.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>

#include "config/TestPlanFile.h"
#include "lookback/History.h"
#include "lookback/Rejudge.h"
#include "lookback/ReportFile.h"
#include "lookback/RunLoad.h"
#include "lookback/Yield.h"
#include "records/Sha256.h"
#include "station/StationSession.h"
#include "support/TempFolder.h"

namespace orvalt {
namespace {

using namespace std::chrono_literals;
using test::TempFolder;

const std::filesystem::path kExamples = std::filesystem::path(ORVALT_SOURCE_DIR) / "examples";

// Calls `take` on the worker's thread as each test ends.
class TestEndWatch final : public SessionObserver {
  public:
    explicit TestEndWatch(std::function<void(int row)> take) : take_(std::move(take)) {}
    void TestEnded(const TestEnd& test) override { take_(test.row); }

  private:
    std::function<void(int row)> take_;
};

// One database in a folder of its own, and sessions on the simulator in
// virtual time that record into it: the example plan, the unit "X1" of
// fixture "Bench A".
class JudgedRuns {
  public:
    std::unique_ptr<StationSession> Session(const std::string& serial, UnitProfile unit = {}) {
        RecordingOptions recording;
        recording.on = true;
        recording.database = database;
        recording.spool = folder / "spool.sqlite";
        auto session = std::make_unique<StationSession>(SessionOptions{
            StationOptions{true, true, std::move(unit), {}, "Bench A"}, {}, std::move(recording)});
        LoadedPlan plan = LoadTestPlanFile(kExamples / "TestCfg.csv").Value();
        session->SetRunHooks(RunControlHooks{[] { return true; }, [](const std::string&) {}});
        session->UsePlan(std::move(plan.plan), std::move(plan.rows));
        session->SetPlanSource("TestCfg.csv", std::move(plan.text));
        session->Model().values.description = UnitDescription{"Acme", "X1", "", "", "", "KD", "4"};
        session->SetUnitSerial(serial);
        return session;
    }

    // One run of the plan to its end (or its abandon), judged against
    // `limits` when given; its UUID.
    std::string Run(StationSession& session, const std::filesystem::path& limits = {}) {
        if (!limits.empty()) {
            EXPECT_EQ(session.LoadLimits(limits, StationSession::Remember::No), "");
        }
        session.Runs().OnStartStop();
        const auto limit = std::chrono::steady_clock::now() + 60s;
        while ((session.Runs().Running() || session.Pending() > 0) &&
               std::chrono::steady_clock::now() < limit) {
            session.HandleNext(5ms);
        }
        StationRecording& recording = *session.Recording();
        recording.Flush();
        const std::string uuid = recording.LastRunUuid();
        KeepJudgement(uuid, limits, session.Verdicts());
        return uuid;
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
    // Where the record lacks the limits that judged the run or the unit's
    // verdict, they are filled in from the session that judged it; a record
    // that keeps them is left as it is.
    void KeepJudgement(const std::string& uuid, const std::filesystem::path& limits,
                       const VerdictSnapshot& verdicts) {
        if (limits.empty()) {
            return;
        }
        const std::string text = test::ReadBytes(limits);
        Sql("UPDATE runs SET limits_name = $2, limits_text = $3, limits_sha256 = $4"
            " WHERE run_uuid = $1 AND COALESCE(limits_text, '') = ''",
            {uuid, limits.filename().string(), text, Sha256Hex(text)});
        Sql("UPDATE runs SET verdict = $2 WHERE run_uuid = $1 AND verdict IS NULL",
            {uuid, std::string(VerdictWord(verdicts.verdicts.Unit()))});
    }
};

// The window's "Open Report of Last Run" during a run: the run before it, or,
// during the session's first run, none yet; once the run is over, that run.
TEST(JudgedRecords, TheLastRunsReportIsOfARunThatEnded) {
    JudgedRuns runs;
    auto session = runs.Session("SN-1");
    StationRecording& recording = *session->Recording();
    const auto reports = runs.folder / "reports";
    std::vector<StationRecording::Report> during;
    TestEndWatch watch([&](int row) {
        if (row == 1) {
            during.push_back(recording.WriteLastRunReport(reports));
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
    EXPECT_NE(test::ReadBytes(during[1].file).find("Run " + first), std::string::npos);
    const auto after = recording.WriteLastRunReport(reports);
    EXPECT_EQ(after.file, reports / ("orvalt-report-" + second + ".html")) << after.problem;
}

}  // namespace
}  // namespace orvalt
