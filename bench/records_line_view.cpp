// The line at a glance over a generated database of 100 000 runs (a million
// tests, RecordsBench.h), a run every 90 s on four fixtures of two hosts up to
// 15:00 today, so that today holds 600 of them: the change mark a dashboard
// asks for every half second and the view it builds on each change, with
// each part of the view, and how the database answers the mark's statements.
// Each run's verdict tests measure three figures, a failed test one beyond its
// limit; one run in 97 raised an alarm, and the even models' last units
// still drift; four fixtures are mid-run, and twenty runs of stations that
// died long ago never ended.
//
// usage: bench_records_line_view [RUNS] [sqlite|postgres|both] [DATABASE]
// (default 100000 both; postgres on a throw-away server, only where Debian's
// server is installed). A given DATABASE (a SQLite file, or a server's URL
// with postgres) is kept, and reused when it holds runs already.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "RecordsBench.h"
#include "lookback/FailurePareto.h"
#include "lookback/FixtureCards.h"
#include "lookback/LineView.h"
#include "lookback/OpenAlarms.h"
#include "platform/UtcTime.h"
#include "recording/RecordStore.h"
#include "records/RecordsToRead.h"
#include "support/PgCluster.h"
#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// 2026-12-08T15:00:00Z; its day starts at midnight UTC.
const std::chrono::system_clock::time_point kNow{std::chrono::seconds(1796742000)};
constexpr auto kRunEvery = 90s;
constexpr long kTestsPerRun = 10;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::chrono::system_clock::time_point StartOf(long run, long runs) {
    return kNow - kRunEvery * (runs - run);
}

GeneratedRunShape LineShape(long runs) {
    GeneratedRunShape shape;
    shape.run = [runs](long r, orvalt::RunStart& run, orvalt::RunFinish& finish) {
        run.host = "line-" + std::to_string(r % 4 / 2 + 1);
        run.fixture = "F" + std::to_string(r % 2 + 1);
        run.planName = "TestCfg.csv";
        run.planSha256 = "bench-plan";
        run.planText = "Ten tests\r\nLabel,T1,T2,T3,T4,Option,Repetitions\r\n";
        for (int t = 0; t < kTestsPerRun; ++t) {
            run.planText += "Cycle,1.5,2,0.25,3,2\r\n";
        }
        run.startedAt = orvalt::UtcIsoTime(StartOf(r, runs));
        finish.endedAt = orvalt::UtcIsoTime(StartOf(r, runs) + 60s);
    };
    shape.test = [runs](long r, int, orvalt::TestFinish& finish) {
        if (!finish.verdict) {
            return;
        }
        const bool failed = finish.verdict->outcome == "FAIL";
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

void Write(orvalt::SqlConnection& db, const std::vector<orvalt::RecordEvent>& events) {
    std::vector<orvalt::RowWrite> rows;
    for (const orvalt::RecordEvent& event : events) {
        orvalt::AppendEventRows(event, rows);
    }
    if (const auto written = orvalt::WriteRows(db, rows); !written) {
        std::fprintf(stderr, "%s\n", written.Error().why.c_str());
    }
}

// Alarms of one run in 97 (over every model), on test 3, which completes;
// each fixture's run in progress; the runs of stations that died long ago.
void AddTheLineNow(orvalt::SqlConnection& db, long runs) {
    std::vector<orvalt::RecordEvent> events;
    for (long r = 0; r < runs; r += 97) {
        const std::string raised = orvalt::UtcIsoTime(StartOf(r, runs) + 61s);
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
        run.startedAt = orvalt::UtcIsoTime(dead ? StartOf(fixture * 3000, runs) : kNow - 60s);
        run.unit.model = "M1";
        run.unit.serial = run.uuid;
        events.push_back(orvalt::RunBegan{run});
        events.push_back(orvalt::TestBegan{run.uuid, {0, {}, "cycle", run.startedAt}});
        events.push_back(orvalt::RunTallied{run, {1, 0, 0, 0}});
    }
    Write(db, events);
}

orvalt::LineMoment Moment() {
    orvalt::LineMoment moment;
    moment.now = orvalt::UtcIsoTime(kNow);
    moment.todayStart = "2026-12-08T00:00:00.000Z";
    moment.stationsSince = orvalt::UtcIsoTime(kNow - 24h);
    moment.alarmsSince = orvalt::UtcIsoTime(kNow - 7 * 24h);
    return moment;
}

double MedianMs(int times, const std::function<bool()>& work) {
    std::vector<double> ms;
    for (int i = 0; i < times; ++i) {
        const auto start = Clock::now();
        if (!work()) {
            return -1.0;
        }
        ms.push_back(Seconds(start) * 1000.0);
    }
    return Median(ms);
}

void ShowPlans(orvalt::SqlConnection& db) {
    const bool server = db.Dialect() == orvalt::SqlDialect::Postgres;
    for (const std::string& sql : orvalt::LineChangeMarkStatements()) {
        const auto plan = db.Run((server ? "EXPLAIN " : "EXPLAIN QUERY PLAN ") + sql);
        if (!plan) {
            std::printf("  %s\n", plan.Error().c_str());
            continue;
        }
        std::printf("  %s\n", sql.c_str());
        for (const orvalt::SqlRow& row : *plan) {
            std::printf("    %s\n", orvalt::CellText(row.back()).c_str());
        }
    }
}

template <class Part>
void TimePart(orvalt::SqlConnection& db, const char* name, Part part) {
    std::size_t size = 0;
    const double ms = MedianMs(10, [&] {
        const auto got = part(db);
        size = got ? got->size() : 0;
        return got.Ok();
    });
    std::printf("  %-22s %8.2f ms  (%zu rows)\n", name, ms, size);
}

bool HoldsRuns(const std::string& target) {
    auto db = orvalt::OpenRecordsToRead(target);
    if (!db || !*db) {
        return false;
    }
    const auto runs = (*db)->Run("SELECT COUNT(*) FROM runs");
    return runs && orvalt::CellInteger(runs->at(0).at(0)) > 0;
}

int Measure(const std::string& target, const char* label, long runs,
            const std::function<void()>& settle = {}) {
    if (!HoldsRuns(target)) {
        auto opened = orvalt::OpenRecordDatabase(target);
        if (!opened) {
            std::fprintf(stderr, "%s\n", opened.Error().c_str());
            return 1;
        }
        const auto start = Clock::now();
        GenerateRuns(**opened, runs * kTestsPerRun, LineShape(runs));
        AddTheLineNow(**opened, runs);
        std::printf("%s: generated %ld runs in %.1f s\n", label, runs, Seconds(start));
    }
    if (settle) {
        settle();
    }
    auto db = orvalt::OpenRecordsToRead(target);
    if (!db || !*db) {
        std::fprintf(stderr, "%s\n", db ? "no schema" : db.Error().c_str());
        return 1;
    }
    const orvalt::LineMoment moment = Moment();
    auto view = orvalt::LoadLineView(**db, moment);
    if (!view) {
        std::fprintf(stderr, "%s\n", view.Error().c_str());
        return 1;
    }
    std::printf("%s: %zu cards, %zu models today, %zu failure reasons, %zu open alarms\n", label,
                view->fixtures.size(), view->yieldToday.size(), view->pareto.size(),
                view->alarms.size());
    const double mark = MedianMs(200, [&] { return orvalt::LineChangeMark(**db).Ok(); });
    const double whole = MedianMs(20, [&] { return orvalt::LoadLineView(**db, moment).Ok(); });
    std::printf("%s: LineChangeMark median %.3f ms of 200, LoadLineView median %.1f ms of 20\n",
                label, mark, whole);
    TimePart(**db, "fixture cards",
             [&](orvalt::SqlConnection& c) { return orvalt::LoadFixtureCards(c, moment); });
    TimePart(**db, "yield today", [&](orvalt::SqlConnection& c) {
        return orvalt::QueryYield(c, orvalt::YieldGrouping::Model, moment.todayStart);
    });
    TimePart(**db, "failure Pareto", [&](orvalt::SqlConnection& c) {
        return orvalt::LoadFailurePareto(c, moment.todayStart);
    });
    TimePart(**db, "open alarms", [&](orvalt::SqlConnection& c) {
        return orvalt::LoadOpenAlarms(c, moment.alarmsSince);
    });
    std::printf("%s: how the mark's statements are answered\n", label);
    ShowPlans(**db);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const long runs = argc > 1 ? std::atol(argv[1]) : 100000;
    const std::string which = argc > 2 ? argv[2] : "both";
    int status = 0;
    if (which != "postgres") {
        orvalt::test::TempFolder folder;
        const bool given = argc > 3 && which == "sqlite";
        status |= Measure(given ? argv[3] : (folder / "line.sqlite").string(), "SQLite", runs);
    }
    if (which != "sqlite") {
        if (argc > 3) {
            return Measure(argv[3], "PostgreSQL", runs);
        }
        if (!orvalt::test::PostgresInstalled()) {
            std::printf("PostgreSQL: not installed, not measured\n");
            return status;
        }
        orvalt::test::PgCluster cluster;
        if (!cluster.Ready()) {
            std::fprintf(stderr, "%s\n", cluster.Problem().c_str());
            return 1;
        }
        status |= Measure(cluster.Url(), "PostgreSQL", runs, [&cluster] {
            // As the server's autovacuum leaves a table some time after a load.
            cluster.Query("VACUUM ANALYZE");
        });
    }
    return status;
}
