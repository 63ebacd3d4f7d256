#pragma once
// The line's records the benchmarks that read the line share: generated runs
// (RecordsBench.h) shaped as a line records them, a run every 90 s on four
// fixtures of two hosts up to a moment. Each run's verdict tests measure
// three figures, a failed test one beyond its limit; one run in 97 raised an
// alarm, and the even models' last units still drift; four fixtures are
// mid-run, and twenty runs of stations that died long ago never ended.

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "RecordsBench.h"
#include "platform/UtcTime.h"
#include "recording/EventRows.h"
#include "recording/RecordStore.h"
#include "records/RecordsToRead.h"

class GeneratedLine {
  public:
    using TimePoint = std::chrono::system_clock::time_point;
    static constexpr long kTestsPerRun = 10;

    // `runs` runs, the last of them started 90 s before `now`.
    GeneratedLine(long runs, TimePoint now) : runs_(runs), now_(now) {}

    // Generates the line into `target` unless it holds runs already; false,
    // having said why, when the database can't be opened.
    bool FillIfEmpty(const std::string& target, const char* label) const {
        if (HoldsRuns(target)) {
            return true;
        }
        auto opened = orvalt::OpenRecordDatabase(target);
        if (!opened) {
            std::fprintf(stderr, "%s\n", opened.Error().c_str());
            return false;
        }
        const auto start = std::chrono::steady_clock::now();
        GenerateRuns(**opened, runs_ * kTestsPerRun, Shape());
        AddTheLineNow(**opened);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("%s: generated %ld runs in %.1f s\n", label, runs_, took.count());
        return true;
    }

  private:
    static constexpr std::chrono::seconds kRunEvery{90};

    TimePoint StartOf(long run) const { return now_ - kRunEvery * (runs_ - run); }

    GeneratedRunShape Shape() const {
        using namespace std::chrono_literals;
        GeneratedRunShape shape;
        shape.run = [this](long r, orvalt::RunStart& run, orvalt::RunFinish& finish) {
            run.host = "line-" + std::to_string(r % 4 / 2 + 1);
            run.fixture = "F" + std::to_string(r % 2 + 1);
            run.planName = "TestCfg.csv";
            run.planSha256 = "bench-plan";
            run.planText = "Ten tests\r\nLabel,T1,T2,T3,T4,Option,Repetitions\r\n";
            for (int t = 0; t < kTestsPerRun; ++t) {
                run.planText += "Cycle,1.5,2,0.25,3,2\r\n";
            }
            run.startedAt = orvalt::UtcIsoTime(StartOf(r));
            finish.endedAt = orvalt::UtcIsoTime(StartOf(r) + 60s);
        };
        shape.test = [runs = runs_](long r, int, orvalt::TestFinish& finish) {
            if (!finish.verdict) {
                return;
            }
            const bool failed = finish.verdict->outcome.Kind() == orvalt::VerdictKind::Fail;
            const auto pass = orvalt::MeasurementOutcome::Pass;
            const auto fail = orvalt::MeasurementOutcome::Fail;
            // The even models' last units drift up: their alarms still hold.
            const bool drifting = r >= runs - 400 && r / 2 % 2 == 0;
            const double offA = 0.5 + static_cast<double>(r % 7) * 0.01 + (drifting ? 0.1 : 0.0);
            finish.measurements = {
                {{"TimeToOffA", failed && r % 3 == 0 ? 1.25 : offA, "s", 2},
                 0.0,
                 1.0,
                 failed && r % 3 == 0 ? fail : pass},
                {{"V4", failed && r % 3 != 0 ? 2.3 : 4.1, "V", 2},
                 2.4,
                 4.5,
                 failed && r % 3 != 0 ? fail : pass},
                {{"TimeToOn", 3.1, "s", 2}, std::nullopt, 3.5, pass},
            };
        };
        return shape;
    }

    // Alarms of one run in 97 (over every model), on test 3, which completes;
    // each fixture's run in progress; the runs of stations that died long ago.
    void AddTheLineNow(orvalt::SqlConnection& db) const {
        using namespace std::chrono_literals;
        std::vector<orvalt::RecordEvent> events;
        for (long r = 0; r < runs_; r += 97) {
            const std::string raised = orvalt::UtcIsoTime(StartOf(r) + 61s);
            events.push_back(orvalt::AlarmRaised{
                "run-" + std::to_string(r),
                {3, "TimeToOffA", 1, "above", "Drift: TimeToOffA of test 4 (rule 1)", raised}});
        }
        for (int fixture = 0; fixture < 4 + 20; ++fixture) {
            orvalt::RunStart run;
            run.uuid = "now-" + std::to_string(fixture);
            const bool dead = fixture >= 4;
            run.host = "line-" + std::to_string(fixture % 4 / 2 + 1) + (dead ? "-old" : "");
            run.fixture = "F" + std::to_string(fixture % 2 + 1);
            run.startedAt = orvalt::UtcIsoTime(dead ? StartOf(fixture * 3000) : now_ - 60s);
            run.unit.model = "M1";
            run.unit.serial = run.uuid;
            events.push_back(orvalt::RunBegan{run});
            events.push_back(orvalt::TestBegan{run.uuid, {0, {}, "cycle", run.startedAt}});
            events.push_back(orvalt::RunTallied{run, {1, 0, 0, 0}});
        }
        Write(db, events);
    }

    static void Write(orvalt::SqlConnection& db, const std::vector<orvalt::RecordEvent>& events) {
        std::vector<orvalt::RowWrite> rows;
        for (const orvalt::RecordEvent& event : events) {
            orvalt::AppendEventRows(event, rows);
        }
        if (const auto written = orvalt::WriteRows(db, rows); !written) {
            std::fprintf(stderr, "%s\n", written.Error().why.c_str());
        }
    }

    static bool HoldsRuns(const std::string& target) {
        auto db = orvalt::OpenRecordsToRead(target);
        if (!db || !*db) {
            return false;
        }
        const auto runs = (*db)->Run("SELECT COUNT(*) FROM runs");
        return runs && orvalt::CellInteger(runs->at(0).at(0)) > 0;
    }

    long runs_;
    TimePoint now_;
};
