// "yield --by model" over a generated SQLite database of a million tests:
// 100,000 runs of ten tests, 40 models, a verdict on every third test.
//
// usage: bench_records_yield [TESTS] [DATABASE]
// A given DATABASE file is kept (and reused when it exists).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "RecordsBench.h"
#include "records/EventRows.h"
#include "records/RecordStore.h"
#include "records/Yield.h"
#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void Generate(orvalt::SqlConnection& db, long tests) {
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

}  // namespace

int main(int argc, char** argv) {
    const long tests = argc > 1 ? std::atol(argv[1]) : 1000000;
    orvalt::test::TempFolder folder;
    const std::string path = argc > 2 ? argv[2] : (folder / "yield.sqlite").string();
    const bool fresh = !std::filesystem::exists(path);
    auto opened = orvalt::OpenRecordDatabase(path);
    if (!opened) {
        std::fprintf(stderr, "%s\n", opened.Error().c_str());
        return 1;
    }
    if (fresh) {
        const auto start = Clock::now();
        Generate(**opened, tests);
        std::printf("generated %ld tests in %.1f s, file %.1f MB\n", tests, Seconds(start),
                    std::filesystem::file_size(path) / 1e6);
    }
    opened->reset();
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        auto db = orvalt::OpenSqlConnection(path);  // as the command does: open, ask, print
        const auto yield = orvalt::QueryYield(**db, orvalt::YieldGrouping::Model, std::nullopt);
        const std::string table = orvalt::YieldTable(*yield, orvalt::YieldGrouping::Model);
        times.push_back(Seconds(start));
        if (i == 0)
            std::printf("%zu groups, first: %s", yield->size(),
                        table
                            .substr(table.find('\n') + 1,
                                    table.find('\n', table.find('\n') + 1) - table.find('\n'))
                            .c_str());
    }
    std::printf("yield --by model over %ld tests: median %.3f s (min %.3f s) of 5\n", tests,
                Median(times), *std::min_element(times.begin(), times.end()));
    return 0;
}
