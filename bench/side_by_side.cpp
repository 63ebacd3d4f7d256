// Fixtures side by side in real time on the simulator: the wall time of one
// fixture's run of a short plan, then of four at once, first as four processes
// (one per fixture, as a production line runs them) and then as four sessions
// in one process. Each fixture's run is mostly waiting, so four at once should
// take hardly longer than one: the target is at most 1.2 times.
//
// usage: bench_side_by_side [FIXTURES (4)] [REPETITIONS (8)]

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/HeadlessRunner.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Named once, by the parent: the children save into the same folder.
const fs::path& Folder() {
    static const fs::path folder =
        fs::temp_directory_path() / ("orvalt-bench-side-" + std::to_string(::getpid()));
    return folder;
}

// Two on/off tests of short pulses, 0.5 s a repetition.
fs::path WriteShortPlan(int repetitions) {
    const fs::path plan = Folder() / "short.csv";
    std::ofstream(plan) << "Short plan\nLabel,T1,T2,T3,T4,T5,T6\n"
                        << "On/off A,0,0.2,0.3,2.0,5000," << repetitions << "\n"
                        << "On/off B,0,0.3,0.2,2.0,5000," << repetitions << "\n";
    return plan;
}

int RunFixture(int index, const fs::path& plan) {
    const std::string fixture = "Bench " + std::to_string(index + 1);
    const fs::path save = Folder() / ("run-" + std::to_string(index + 1) + ".csv");
    const auto parsed = orvalt::ParseCliOptions(
        {"--simulate", "--fixture", fixture, "--save", save.string(), plan.string()});
    if (!parsed.options) {
        std::fprintf(stderr, "%s\n", parsed.error.c_str());
        return orvalt::kExitUsage;
    }
    orvalt::StopRequest stop;
    std::ostringstream out, err;
    const int status = orvalt::RunHeadless(*parsed.options, out, err, stop);
    if (status != orvalt::kExitRanToEnd) {
        std::fprintf(stderr, "%s: status %d: %s", fixture.c_str(), status, err.str().c_str());
    }
    return status;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Each fixture in a process of its own; false when one of them failed.
bool RunAsProcesses(int fixtures, const fs::path& plan) {
    std::vector<pid_t> children;
    for (int i = 0; i < fixtures; ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            std::_Exit(RunFixture(i, plan));
        }
        children.push_back(child);
    }
    bool allRan = true;
    for (const pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        allRan = allRan && WIFEXITED(status) && WEXITSTATUS(status) == orvalt::kExitRanToEnd;
    }
    return allRan;
}

bool RunAsSessions(int fixtures, const fs::path& plan) {
    std::atomic<bool> allRan{true};
    {
        std::vector<std::jthread> threads;
        for (int i = 0; i < fixtures; ++i) {
            threads.emplace_back([i, &plan, &allRan] {
                if (RunFixture(i, plan) != orvalt::kExitRanToEnd) {
                    allRan = false;
                }
            });
        }
    }
    return allRan;
}

double Timed(const char* what, bool (*run)(int, const fs::path&), int fixtures,
             const fs::path& plan) {
    const auto start = Clock::now();
    const bool ok = run(fixtures, plan);
    const double seconds = SecondsSince(start);
    std::printf("%-34s %7.3f s%s\n", what, seconds, ok ? "" : "  (a run failed)");
    std::fflush(stdout);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const int fixtures = argc > 1 ? std::atoi(argv[1]) : 4;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 8;
    fs::create_directories(Folder());
    ::setenv("XDG_CONFIG_HOME", Folder().c_str(), 1);  // default settings, never the user's
    const fs::path plan = WriteShortPlan(repetitions);

    const double one = Timed("one fixture, one process", RunAsProcesses, 1, plan);
    const std::string several = std::to_string(fixtures) + " fixtures, ";
    const double processes =
        Timed((several + "one process each").c_str(), RunAsProcesses, fixtures, plan);
    const double sessions =
        Timed((several + "sessions in one process").c_str(), RunAsSessions, fixtures, plan);
    std::printf("ratio to one: processes %.3f, sessions %.3f (target <= 1.2)\n", processes / one,
                sessions / one);
    std::ifstream totals(Folder() / "totalsums.csv");
    const auto lines = std::count(std::istreambuf_iterator<char>(totals), {}, '\n');
    std::printf("totalsums.csv: %td lines (%d expected)\n", lines, (1 + 2 * fixtures) * 2);
    fs::remove_all(Folder());
    return processes / one <= 1.2 && sessions / one <= 1.2 ? 0 : 1;
}
