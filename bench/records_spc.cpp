// "spc" over a generated SQLite database of one model's runs: 200 000 runs of
// a five-test plan, a million tests, each completed test with four figures
// (TimeToOffA and TimeToOffB with limits, TimeToOn with a maximum, V1 without),
// TimeToOffA creeping up slowly over the lot. Times the command's work as it
// does it: open the file to read, load the series, judge them, print them;
// for one measurement (its five series of 200 000 units) and for all.
//
// usage: bench_records_spc [RUNS] [DATABASE]
// A given DATABASE file is kept (and reused when it exists).

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "RecordsBench.h"
#include "output/SpcText.h"
#include "recording/RecordStore.h"
#include "spc/Spc.h"
#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTestsPerRun = 5;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// A deterministic noise in [-1, 1): splitmix64 of the run and a salt.
double Noise(long run, int salt) {
    std::uint64_t z = static_cast<std::uint64_t>(run) * 64 + static_cast<std::uint64_t>(salt) +
                      0x9e3779b97f4a7c15ull;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) / 4503599627370496.0 - 1.0;
}

std::vector<orvalt::MeasurementRecord> Figures(long run, int test) {
    const double creep = static_cast<double>(run) * 2.5e-7;  // 0.05 s over the lot
    return {
        {{"TimeToOffA", 0.5 + creep + 0.05 * Noise(run, test), "s", 2}, 0.0, 1.0},
        {{"TimeToOffB", 0.75 + 0.05 * Noise(run, test + 7), "s", 2}, 0.0, 1.5},
        {{"TimeToOn", 3.1 + 0.02 * Noise(run, test + 13), "s", 2}, std::nullopt, 3.5},
        {{"V1", 2.6 + 0.01 * Noise(run, test + 17), "V", 3}},
    };
}

void Generate(orvalt::SqlConnection& db, long runs) {
    std::vector<orvalt::RowWrite> rows;
    for (long r = 0; r < runs; ++r) {
        orvalt::RunStart run;
        run.uuid = "run-" + std::to_string(r);
        char when[40];
        const long second = r * 30;  // a unit every 30 s
        std::snprintf(when, sizeof when, "2026-%02ld-%02ldT%02ld:%02ld:%02ld.000Z",
                      1 + second / 2419200 % 12, 1 + second / 86400 % 28, second / 3600 % 24,
                      second / 60 % 60, second % 60);
        run.startedAt = when;
        run.unit.model = "X100";
        run.unit.serial = "SN-" + std::to_string(r / 2);
        orvalt::RunTally tally;
        for (int t = 0; t < kTestsPerRun; ++t) {
            orvalt::TestFinish finish{orvalt::RecordEnd::Completed, "", Figures(r, t),
                                      orvalt::Verdict{orvalt::VerdictKind::Pass, ""}, when};
            orvalt::AppendEventRows(orvalt::TestEnded{run.uuid, {t, {}, "cycle", when}, finish},
                                    rows);
            ++tally.begun;
            orvalt::CountTestEnd(tally, finish);
        }
        orvalt::AppendEventRows(
            orvalt::RunEnded{
                run, {orvalt::RecordEnd::Completed, "", when, orvalt::VerdictKind::Pass}, tally},
            rows);
        if (rows.size() > 50000) {
            [[maybe_unused]] const auto written = orvalt::WriteRows(db, rows);
            rows.clear();
        }
    }
    [[maybe_unused]] const auto written = orvalt::WriteRows(db, rows);
}

struct Timed {
    double median = 0.0, best = 0.0, cpu = 0.0;  // cpu: the median's processor time
    std::size_t series = 0, points = 0, hits = 0;
};

Timed TimeSpc(const std::string& path, const std::optional<std::string>& measurement) {
    std::vector<double> times, cpus;
    Timed timed;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        const std::clock_t cpuStart = std::clock();
        auto db = orvalt::OpenSqlConnectionToRead(path);  // as the command opens it
        const auto all = orvalt::LoadSpc(**db, {"X100", measurement, {}}, {});
        if (!all) {
            std::fprintf(stderr, "%s\n", all.Error().c_str());
            std::exit(1);
        }
        const std::string text = orvalt::SpcText(*all);
        times.push_back(Seconds(start));
        cpus.push_back(static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
        timed.series = all->size();
        timed.points = timed.hits = 0;
        for (const orvalt::JudgedSeries& one : *all) {
            timed.points += one.series.points.size();
            timed.hits += one.hits.size();
        }
    }
    timed.median = Median(times);
    timed.cpu = Median(cpus);
    timed.best = *std::min_element(times.begin(), times.end());
    return timed;
}

void Print(const char* what, const Timed& timed) {
    std::printf(
        "spc %s: %zu series, %zu points, %zu rule hits: median %.3f s (min %.3f s) of 5, "
        "processor time %.3f s\n",
        what, timed.series, timed.points, timed.hits, timed.median, timed.best, timed.cpu);
}

}  // namespace

int main(int argc, char** argv) {
    const long runs = argc > 1 ? std::atol(argv[1]) : 200000;
    orvalt::test::TempFolder folder;
    const std::string path = argc > 2 ? argv[2] : (folder / "spc.sqlite").string();
    if (!std::filesystem::exists(path)) {
        auto opened = orvalt::OpenRecordDatabase(path);
        if (!opened) {
            std::fprintf(stderr, "%s\n", opened.Error().c_str());
            return 1;
        }
        const auto start = Clock::now();
        Generate(**opened, runs);
        std::printf("generated %ld runs, %ld tests in %.1f s, file %.1f MB\n", runs,
                    runs * kTestsPerRun, Seconds(start), std::filesystem::file_size(path) / 1e6);
    }
    Print("--measurement TimeToOffA", TimeSpc(path, "TimeToOffA"));
    Print("(every measurement)", TimeSpc(path, std::nullopt));
    return 0;
}
