// The example plan run again and again in one process in virtual time, the
// simulated driver sending a diagnostic line every 10 ms, so that each run
// pushes some 25 000 lines through the window side and the DiagTable. Prints
// the process's heap, resident memory, threads and descriptors as the runs go
// on; a leak shows as growth after the first run.
//
// usage: bench_soak [RUNS] [PLAN.csv]   (1000 runs of examples/TestCfg.csv)

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/CliOptions.h"
#include "cli/HeadlessRunner.h"
#include "support/ProcessFigures.h"

namespace {

constexpr std::size_t kMegabyte = 1024 * 1024;

void Print(const char* when, const orvalt::ProcessFigures& f) {
    std::printf("%-22s heap in use %7zu KiB, resident %7zu KiB, threads %zu, descriptors %zu\n",
                when, f.heapInUseBytes / 1024, f.residentBytes / 1024, f.threads,
                f.openDescriptors);
    std::fflush(stdout);  // a long soak shows its progress as it goes
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 1000;
    const std::string plan = argc > 2 ? argv[2] : "examples/TestCfg.csv";
    const auto folder = std::filesystem::temp_directory_path() / "orvalt-bench-soak";
    std::filesystem::create_directories(folder);
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);  // default settings, never the user's
    ::setenv("XDG_DATA_HOME", folder.c_str(), 1);    // run records, never the user's
    std::ofstream(folder / "flood.json") << R"({"diagPeriodMs": 10})";
    const auto parsed =
        orvalt::ParseCliOptions({"--simulate", "--fast", "--extra-log", "--no-record", "--unit",
                                 (folder / "flood.json").string(), plan});
    if (!parsed.options) {
        std::fprintf(stderr, "%s\n", parsed.error.c_str());
        return 2;
    }

    std::ostream discard(nullptr);
    std::size_t diagLines = 0;
    const orvalt::ProcessFigures before = orvalt::MeasureProcess();
    orvalt::ProcessFigures afterFirst;
    Print("before the first run", before);
    const auto start = std::chrono::steady_clock::now();
    for (int run = 1; run <= runs; ++run) {
        std::ostringstream err;
        orvalt::StopRequest stop;
        orvalt::HeadlessStats stats;
        if (const int status = orvalt::RunHeadless(*parsed.options, discard, err, stop, &stats);
            status != orvalt::kExitRanToEnd) {
            std::fprintf(stderr, "run %d ended with status %d: %s\n", run, status,
                         err.str().c_str());
            return 1;
        }
        diagLines += stats.diagLines;
        if (run == 1) {
            afterFirst = orvalt::MeasureProcess();
            Print("after the first run", afterFirst);
        } else if (run % (runs >= 10 ? runs / 10 : 1) == 0) {
            Print(("after run " + std::to_string(run)).c_str(), orvalt::MeasureProcess());
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const orvalt::ProcessFigures atEnd = orvalt::MeasureProcess();
    std::printf("%d runs, %zu diagnostic lines, %.1f s (%.1f ms a run, %.1f us a line)\n", runs,
                diagLines, seconds, seconds * 1000.0 / runs, seconds * 1e6 / diagLines);
    const long long heapGrowth = static_cast<long long>(atEnd.heapInUseBytes) -
                                 static_cast<long long>(afterFirst.heapInUseBytes);
    const long long residentGrowth = static_cast<long long>(atEnd.residentBytes) -
                                     static_cast<long long>(afterFirst.residentBytes);
    std::printf("growth since the first run: heap %+lld bytes, resident %+lld bytes\n", heapGrowth,
                residentGrowth);
    std::printf("threads %zu -> %zu, descriptors %zu -> %zu\n", before.threads, atEnd.threads,
                before.openDescriptors, atEnd.openDescriptors);
    const bool held = heapGrowth < static_cast<long long>(kMegabyte) &&
                      residentGrowth < static_cast<long long>(kMegabyte) &&
                      atEnd.threads == before.threads &&
                      atEnd.openDescriptors == before.openDescriptors;
    std::printf("%s\n", held ? "nothing grew" : "GROWTH");
    return held ? 0 : 1;
}
