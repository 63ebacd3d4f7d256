// A simulated production lot, recorded as a station records it: wall time and
// virtual (station) time of the whole lot, then, read back from the records,
// each measurement series that varies from unit to unit (its test and name,
// n, min, max, mean, standard deviation) with the first unit that failed its
// limit, and, when named, one series unit by unit.
//
// usage: bench_lot_run LOT.json UNITS [LIMITS.csv] [PLAN.csv] [TEST NAME]
//   e.g. bench_lot_run examples/lot-drift.json 200 examples/limits-pass.csv
//        examples/TestCfg.csv 2 TimeToOffA

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/HeadlessRunner.h"
#include "records/SqlConnection.h"

namespace {

struct Series {
    std::vector<std::string> serials;
    std::vector<double> values;
    std::optional<std::string> firstFailed;
};

using SeriesKey = std::pair<int, std::string>;  // the plan's test (1-based), the name

// Every measurement of every run, in the order the runs started.
std::map<SeriesKey, Series> ReadSeries(const std::string& database) {
    std::map<SeriesKey, Series> series;
    auto db = orvalt::OpenSqlConnection(database);
    if (!db) {
        std::fprintf(stderr, "%s\n", db.Error().c_str());
        return series;
    }
    const auto rows = (*db)->Run(
        "SELECT r.serial, m.test_index, m.name, m.value, m.outcome FROM measurements m "
        "JOIN run_keys k ON k.run_id = m.run_id JOIN runs r ON r.run_uuid = k.run_uuid "
        "ORDER BY r.started_at, r.run_uuid, m.test_index, m.name");
    if (!rows) {
        std::fprintf(stderr, "%s\n", rows.Error().c_str());
        return series;
    }
    for (const orvalt::SqlRow& row : *rows) {
        Series& s = series[{std::stoi(*row[1]) + 1, *row[2]}];
        s.serials.push_back(*row[0]);
        s.values.push_back(std::stod(*row[3]));
        if (!s.firstFailed && row[4] && *row[4] == "FAIL") {
            s.firstFailed = *row[0];
        }
    }
    return series;
}

void PrintSpread(const std::map<SeriesKey, Series>& series) {
    std::printf("%-6s %-18s %6s %8s %8s %9s %8s  %s\n", "test", "measurement", "n", "min", "max",
                "mean", "sd", "first FAIL");
    for (const auto& [key, s] : series) {
        double sum = 0.0, squares = 0.0, min = s.values.front(), max = s.values.front();
        for (const double v : s.values) {
            sum += v;
            squares += v * v;
            min = std::min(min, v);
            max = std::max(max, v);
        }
        if (min == max) {
            continue;  // the same for every unit
        }
        const double n = static_cast<double>(s.values.size());
        const double mean = sum / n;
        const double sd = std::sqrt(std::max(0.0, (squares - n * mean * mean) / (n - 1.0)));
        std::printf("%-6d %-18s %6zu %8.3f %8.3f %9.4f %8.4f  %s\n", key.first, key.second.c_str(),
                    s.values.size(), min, max, mean, sd, s.firstFailed.value_or("-").c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: bench_lot_run LOT.json UNITS [LIMITS.csv] [PLAN.csv] [TEST NAME]\n");
        return 2;
    }
    const std::string limits = argc > 3 ? argv[3] : "examples/limits-pass.csv";
    const std::string plan = argc > 4 ? argv[4] : "examples/TestCfg.csv";
    const auto folder = std::filesystem::temp_directory_path() / "orvalt-bench-lot";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);  // default settings, never the user's
    ::setenv("XDG_DATA_HOME", folder.c_str(), 1);
    const std::string database = (folder / "lot.sqlite").string();

    const auto parsed = orvalt::ParseCliOptions({"--simulate", "--fast", "--lot-profile", argv[1],
                                                 "--units", argv[2], "--model", "X100", "--limits",
                                                 limits, "--db", database, plan});
    if (!parsed.options) {
        std::fprintf(stderr, "%s\n", parsed.error.c_str());
        return 2;
    }
    std::ostringstream out, err;
    orvalt::StopRequest stop;
    orvalt::HeadlessStats stats;
    const auto start = std::chrono::steady_clock::now();
    const int status = orvalt::RunHeadless(*parsed.options, out, err, stop, &stats);
    const double wallS =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string log = out.str();
    const auto lastLine = log.rfind("LOT: ");
    std::printf("%s",
                lastLine == std::string::npos ? "no LOT line\n" : log.substr(lastLine).c_str());
    std::printf("exit status %d; wall time %.2f s (%.1f ms a unit), virtual time %.1f h\n", status,
                wallS, wallS * 1000.0 / std::atof(argv[2]),
                static_cast<double>(stats.virtualMs) / 3600000.0);

    const auto series = ReadSeries(database);
    PrintSpread(series);
    if (argc > 6) {
        const auto named = series.find({std::atoi(argv[5]), argv[6]});
        if (named != series.end()) {
            for (std::size_t i = 0; i < named->second.values.size(); ++i) {
                std::printf("%s %.2f\n", named->second.serials[i].c_str(), named->second.values[i]);
            }
        }
    }
    return 0;
}
