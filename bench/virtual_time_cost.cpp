// What a reading costs in virtual time: the example plan, and the same plan
// a hundred times over, run by one or more orvalt-cli programs (this build and,
// say, another branch's) on the simulator with --fast, recording into a fresh
// database. For each: CPU per reading (user + system), context switches per
// reading and peak RSS, each the median of a few runs of a child process
// (what the child used, as it ended).
//
// usage: bench_virtual_time_cost [--no-record] [--runs N] PLAN.csv CLI [CLI...]

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "RecordsBench.h"
#include "platform/UniqueFd.h"
#include "support/ChildProcess.h"

namespace {

namespace fs = std::filesystem;

struct Figures {
    double cpuSeconds = 0.0;
    long switches = 0;
    long peakKb = 0;
    int status = -1;
};

const fs::path& Folder() {
    static const fs::path folder =
        fs::temp_directory_path() / ("orvalt-bench-vtime-" + std::to_string(::getpid()));
    return folder;
}

// The plan's header, then its tests `times` over.
fs::path RepeatedPlan(const fs::path& plan, int times) {
    std::ifstream in(plan);
    std::string header[2];
    std::getline(in, header[0]);
    std::getline(in, header[1]);
    std::stringstream tests;
    tests << in.rdbuf();
    const fs::path out = Folder() / ("plan-x" + std::to_string(times) + ".csv");
    std::ofstream file(out);
    file << header[0] << '\n' << header[1] << '\n';
    for (int i = 0; i < times; ++i)
        file << tests.str();
    return out;
}

// Runs the program with its own settings and data folders, its output to
// `output` (or nowhere), and returns what the child used.
Figures RunChild(const std::vector<std::string>& words, const fs::path& output) {
    const fs::path home = Folder() / ("home-" + std::to_string(std::rand()));
    fs::create_directories(home);
    const char* out = output.empty() ? "/dev/null" : output.c_str();
    const orvalt::UniqueFd outFd(::open(out, O_WRONLY | O_CREAT | O_TRUNC, 0644));
    const orvalt::UniqueFd errFd(::open("/dev/null", O_WRONLY));
    const pid_t child = orvalt::test::StartProgram(
        {words,
         {"XDG_CONFIG_HOME=" + home.string(), "XDG_DATA_HOME=" + home.string()},
         outFd.Get(),
         errFd.Get(),
         {}});
    const std::optional<orvalt::test::ProgramEnd> ended = orvalt::test::ProgramEnded(child);
    fs::remove_all(home);
    if (!ended) {
        return {};
    }
    return {ended->cpuSeconds, ended->contextSwitches, ended->peakResidentKb, ended->exitStatus};
}

// The readings the plan takes, counted in the log of one run with Extra Log.
long CountReadings(const std::string& cli, const fs::path& plan) {
    const fs::path log = Folder() / "count.txt";
    RunChild({cli, "--simulate", "--fast", "--no-record", "--extra-log", plan.string()}, log);
    std::ifstream in(log);
    long readings = 0;
    for (std::string line; std::getline(in, line);)
        readings += line.rfind("Reading voltage = ", 0) == 0 ? 1 : 0;
    return readings;
}

void Measure(const std::string& cli, const fs::path& plan, int times, long readings, int runs,
             bool record) {
    std::vector<double> cpu;
    std::vector<long> switches;
    std::vector<long> peak;
    int status = 0;
    for (int run = 0; run < runs; ++run) {
        std::vector<std::string> words{cli, "--simulate", "--fast"};
        if (!record)
            words.push_back("--no-record");
        words.push_back(plan.string());
        const Figures f = RunChild(words, {});
        cpu.push_back(f.cpuSeconds);
        switches.push_back(f.switches);
        peak.push_back(f.peakKb);
        status = f.status;
    }
    std::printf(
        "x%-4d readings %7ld  CPU %7.2f us/reading  switches %6.3f /reading  peak RSS %6.1f MB"
        "  exit %d  %s\n",
        times, readings, Median(cpu) * 1e6 / static_cast<double>(readings),
        static_cast<double>(Median(switches)) / static_cast<double>(readings),
        static_cast<double>(Median(peak)) / 1024.0, status, cli.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    bool record = true;
    int runs = 3;
    std::vector<std::string> words(argv + 1, argv + argc);
    while (!words.empty() && words.front().starts_with("--")) {
        if (words.front() == "--no-record") {
            record = false;
        } else if (words.front() == "--runs" && words.size() > 1) {
            words.erase(words.begin());
            runs = std::max(1, std::atoi(words.front().c_str()));
        }
        words.erase(words.begin());
    }
    if (words.size() < 2) {
        std::fprintf(stderr,
                     "usage: bench_virtual_time_cost [--no-record] [--runs N] PLAN.csv CLI...\n");
        return 2;
    }
    fs::create_directories(Folder());
    std::printf("virtual time, %s, median of %d runs\n", record ? "recording" : "not recording",
                runs);
    std::fflush(stdout);  // not again in each child
    for (const int times : {1, 100}) {
        const fs::path plan = RepeatedPlan(words[0], times);
        const long readings = CountReadings(words[1], plan);
        for (std::size_t i = 1; i < words.size(); ++i)
            Measure(words[i], plan, times, readings, runs, record);
    }
    fs::remove_all(Folder());
    return 0;
}
