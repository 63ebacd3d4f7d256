// The line at a glance over a generated database of 100 000 runs (a million
// tests, shaped as LineBench.h says) up to 15:00 today, so that today holds
// 600 of them: the change mark a dashboard asks for every half second and the
// view it builds on each change, with each part of the view (the open alarms
// judged afresh, and as a reader that keeps its judgements reads them again),
// and the view as the dashboard reads it again, its runs and judgements kept,
// and how the database answers the mark's statements.
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

#include "LineBench.h"
#include "RecordsBench.h"
#include "lineview/FixtureCards.h"
#include "lineview/LineChangeMark.h"
#include "lineview/LineView.h"
#include "platform/UtcTime.h"
#include "reading/Pareto.h"
#include "records/RecordsToRead.h"
#include "spc/OpenAlarms.h"
#include "support/PgCluster.h"
#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// 2026-12-08T15:00:00Z; its day starts at midnight UTC.
const std::chrono::system_clock::time_point kNow{std::chrono::seconds(1796742000)};

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
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

int Measure(const std::string& target, const char* label, long runs,
            const std::function<void()>& settle = {}) {
    if (!GeneratedLine(runs, kNow).FillIfEmpty(target, label)) {
        return 1;
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
        return orvalt::QueryYield(c, orvalt::YieldGrouping::Model, {.since = moment.todayStart});
    });
    TimePart(**db, "failure Pareto", [&](orvalt::SqlConnection& c) {
        using Rows = orvalt::Result<std::vector<orvalt::FailureReason>>;
        auto pareto =
            orvalt::QueryPareto(c, orvalt::ParetoGrouping::Reason, {.since = moment.todayStart});
        return pareto ? Rows(std::move(pareto->rows)) : Rows(orvalt::Fail(pareto.Error()));
    });
    TimePart(**db, "open alarms", [&](orvalt::SqlConnection& c) {
        return orvalt::LoadOpenAlarms(c, moment.alarmsSince);
    });
    // As the dashboard reads them at each change: judged once, then only what
    // moved; here nothing did, which leaves what finding that out costs.
    orvalt::OpenAlarmsReader kept;
    if (!kept.Read(**db, moment.alarmsSince)) {
        return 1;
    }
    TimePart(**db, "open alarms, kept",
             [&](orvalt::SqlConnection& c) { return kept.Read(c, moment.alarmsSince); });
    // Keys settle at once here: nothing records while the bench reads, and
    // a reader within its first seconds reads the window whole.
    orvalt::LineRunsReader keptRuns(std::chrono::seconds(30), std::chrono::seconds(0));
    orvalt::OpenAlarmsReader keptAlarms;
    const double keptView =
        MedianMs(20, [&] { return orvalt::LoadLineView(**db, moment, keptRuns, keptAlarms).Ok(); });
    std::printf("%s: LoadLineView, its runs and alarms kept, median %.2f ms of 20\n", label,
                keptView);
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
