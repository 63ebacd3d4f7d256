// The example plan on the simulator in virtual time: wall time, virtual time,
// and how far each measured Time To OFF lies from the simulated unit's exact
// crossing of its threshold (it must stay within one sampling period).
//
// usage: bench_example_plan [PLAN.csv] [RUNS]

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/HeadlessRunner.h"
#include "config/SettingsRecord.h"
#include "sim/UnitProfile.h"

namespace {

struct OffTime {
    double threshold;
    int level;
    double seconds;
};

std::vector<OffTime> MeasuredOffTimes(const std::string& log) {
    std::vector<OffTime> times;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        OffTime t{};
        if (std::sscanf(line.c_str(), "Time To OFF (to %lf) seconds from level %d, %lf",
                        &t.threshold, &t.level, &t.seconds) == 3) {
            times.push_back(t);
        }
    }
    return times;
}

// The unit decays exponentially from its level's voltage from the moment of the
// cut; the sequence samples right after the cut, then every 250 ms.
double ExactCrossingSeconds(const orvalt::UnitProfile& unit, const OffTime& t) {
    const double from = unit.levels[static_cast<std::size_t>(t.level - 1)];
    return unit.offTauMs * std::log(from / t.threshold) / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string plan = argc > 1 ? argv[1] : "examples/TestCfg.csv";
    const int runs = argc > 2 ? std::atoi(argv[2]) : 20;
    const auto config = std::filesystem::temp_directory_path() / "orvalt-bench-example";
    std::filesystem::create_directories(config);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);  // default settings, never the user's
    ::setenv("XDG_DATA_HOME", config.c_str(), 1);    // run records, never the user's

    // Recording on (into the temp folder's data folder), as a station runs.
    auto parsed = orvalt::ParseCliOptions({"--simulate", "--fast", plan});
    std::vector<double> wallMs;
    orvalt::HeadlessStats stats;
    std::string log;
    for (int i = 0; i < runs; ++i) {
        std::ostringstream out, err;
        orvalt::StopRequest stop;
        const auto start = std::chrono::steady_clock::now();
        const int status = orvalt::RunHeadless(*parsed.options, out, err, stop, &stats);
        wallMs.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        if (status != 0) {
            std::fprintf(stderr, "run %d ended with status %d: %s\n", i, status, err.str().c_str());
            return 1;
        }
        log = out.str();
    }
    std::sort(wallMs.begin(), wallMs.end());
    std::printf("example plan %s, %d runs, %zu tests completed each\n", plan.c_str(), runs,
                stats.summaryLines);
    std::printf("wall time with recording on: median %.1f ms, worst %.1f ms (target < 2000 ms)\n",
                wallMs[wallMs.size() / 2], wallMs.back());
    std::printf("virtual time: %.1f s\n", static_cast<double>(stats.virtualMs) / 1000.0);

    const orvalt::UnitProfile unit;
    const double periodMs = 250.0 + unit.accessMs;
    double worstErrorMs = 0.0;
    for (const OffTime& t : MeasuredOffTimes(log)) {
        const double errorMs = (t.seconds - ExactCrossingSeconds(unit, t)) * 1000.0;
        worstErrorMs = std::max(worstErrorMs, std::abs(errorMs));
        std::printf(
            "Time To OFF to %.2f V from level %d: measured %.3f s, exact %.3f s, error %+.0f ms\n",
            t.threshold, t.level, t.seconds, ExactCrossingSeconds(unit, t), errorMs);
    }
    std::printf("worst Time To OFF error %.0f ms against a sampling period of %.0f ms: %s\n",
                worstErrorMs, periodMs,
                worstErrorMs <= periodMs ? "within one period" : "OUTSIDE one period");
    return worstErrorMs <= periodMs ? 0 : 1;
}
