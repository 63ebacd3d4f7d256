#pragma once
// Pieces the records benchmarks share: a median and a percentile, and a
// database of many recorded tests.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "recording/EventRows.h"
#include "recording/RecordStore.h"

template <typename T>
T Median(std::vector<T> values) {
    if (values.empty())
        return T{};
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// The value that `share` of them (0.95: 95 %) are at or below; 0 of none.
inline double Percentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto rank =
        static_cast<std::size_t>(std::ceil(share * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

// How a benchmark makes the generated runs its own: where and when each ran
// (the run's start and finish, its end time included) and what its tests
// measured. Each is called with the generated values, before they are written.
struct GeneratedRunShape {
    std::function<void(long run, orvalt::RunStart&, orvalt::RunFinish&)> run;
    std::function<void(long run, int test, orvalt::TestFinish&)> test;
};

// Runs of ten tests each, `tests` in all, into `db`: 40 models, a serial for
// every two runs (of one model), one test in seven abandoned, a verdict on
// every third test. Each unit's first run: one in seven FAIL, the others PASS;
// its second PASS, but one in nine of them stopped (ERROR).
inline void GenerateRuns(orvalt::SqlConnection& db, long tests,
                         const GeneratedRunShape& shape = {}) {
    constexpr int kTestsPerRun = 10;
    std::vector<orvalt::RowWrite> rows;
    for (long r = 0; r * kTestsPerRun < tests; ++r) {
        orvalt::RunStart run;
        run.uuid = "run-" + std::to_string(r);
        char when[32];
        std::snprintf(when, sizeof when, "2026-%02ld-%02ldT08:00:00.000Z", 1 + r % 12, 1 + r % 28);
        run.startedAt = when;
        std::string ended = when;
        ended.replace(11, 5, "08:12");  // twelve minutes
        run.unit.model = "M" + std::to_string(r / 2 % 40);
        run.unit.serial = "SN" + std::to_string(r / 2);
        const bool retest = r % 2 == 1, stopped = retest && r / 2 % 9 == 4;
        const bool failed = !retest && r / 2 % 7 == 3;
        orvalt::RunFinish end{stopped ? orvalt::RecordEnd::Stopped : orvalt::RecordEnd::Completed,
                              "", ended,
                              stopped  ? orvalt::VerdictKind::Error
                              : failed ? orvalt::VerdictKind::Fail
                                       : orvalt::VerdictKind::Pass};
        if (shape.run) {
            shape.run(r, run, end);
        }
        orvalt::RunTally tally;
        for (int t = 0; t < kTestsPerRun; ++t) {
            orvalt::TestFinish finish{
                t % 7 ? orvalt::RecordEnd::Completed : orvalt::RecordEnd::Abandoned,
                "",
                {},
                std::nullopt,
                run.startedAt};
            if (t % 3 == 0)
                finish.verdict = orvalt::Verdict{
                    t % 2 ? orvalt::VerdictKind::Pass : orvalt::VerdictKind::Fail, ""};
            if (shape.test) {
                shape.test(r, t, finish);
            }
            orvalt::AppendEventRows(
                orvalt::TestEnded{run.uuid, {t, {}, "cycle", run.startedAt}, finish}, rows);
            ++tally.begun;
            orvalt::CountTestEnd(tally, finish);
        }
        orvalt::AppendEventRows(orvalt::RunEnded{run, end, tally}, rows);
        if (rows.size() > 50000) {
            [[maybe_unused]] const auto written = orvalt::WriteRows(db, rows);
            rows.clear();
        }
    }
    [[maybe_unused]] const auto written = orvalt::WriteRows(db, rows);
}
