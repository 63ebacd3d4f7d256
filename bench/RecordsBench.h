#pragma once
// Pieces the records benchmarks share: a median, and a database of many
// recorded tests.

#include <algorithm>
#include <cstdio>
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

// Runs of ten tests each, `tests` in all, into `db`: 40 models, a serial for
// every two runs, one test in seven abandoned, a verdict on every third test.
inline void GenerateRuns(orvalt::SqlConnection& db, long tests) {
    constexpr int kTestsPerRun = 10;
    std::vector<orvalt::RowWrite> rows;
    for (long r = 0; r * kTestsPerRun < tests; ++r) {
        orvalt::RunStart run;
        run.uuid = "run-" + std::to_string(r);
        char when[32];
        std::snprintf(when, sizeof when, "2026-%02ld-%02ldT08:00:00.000Z", 1 + r % 12, 1 + r % 28);
        run.startedAt = when;
        run.unit.model = "M" + std::to_string(r % 40);
        run.unit.serial = "SN" + std::to_string(r / 2);
        orvalt::RunTally tally;
        for (int t = 0; t < kTestsPerRun; ++t) {
            orvalt::TestFinish finish{
                t % 7 ? orvalt::RecordEnd::Completed : orvalt::RecordEnd::Abandoned,
                "",
                {},
                std::nullopt,
                when};
            if (t % 3 == 0)
                finish.verdict = orvalt::Verdict{t % 2 ? "PASS" : "FAIL", ""};
            orvalt::AppendEventRows(orvalt::TestEnded{run.uuid, {t, {}, "cycle", when}, finish},
                                    rows);
            ++tally.begun;
            orvalt::CountTestEnd(tally, finish);
        }
        orvalt::AppendEventRows(
            orvalt::RunEnded{run, {orvalt::RecordEnd::Completed, "", when}, tally}, rows);
        if (rows.size() > 50000) {
            [[maybe_unused]] const auto written = orvalt::WriteRows(db, rows);
            rows.clear();
        }
    }
    [[maybe_unused]] const auto written = orvalt::WriteRows(db, rows);
}
