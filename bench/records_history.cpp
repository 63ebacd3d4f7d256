// "orvalt-cli history" over a generated database of a million tests
// (RecordsBench.h says which), in SQLite and, when a server can be started,
// PostgreSQL. Each program given is run as a shell runs it, output to a file:
// its time (median of three), its peak memory, and a digest of what it
// printed, for every run and for the newest ten (--limit 10).
//
// usage: bench_records_history [TESTS] [ORVALT-CLI ...]
// Without a program, the one built beside this benchmark. Give an older
// build first to compare: the digests show whether both printed the same.

#include <fcntl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "RecordsBench.h"
#include "platform/UniqueFd.h"
#include "records/Sha256.h"
#include "support/ChildProcess.h"
#include "support/PgCluster.h"
#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;
using orvalt::test::TempFolder;

struct Figures {
    double seconds = 0;
    long peakKb = 0;
    int status = 0;
    std::size_t bytes = 0;
    std::string digest;
};

Figures RunOnce(const std::vector<std::string>& words, const TempFolder& folder) {
    const auto out = folder / "out.txt";
    const orvalt::UniqueFd outFd(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    const orvalt::UniqueFd errFd(::open("/dev/null", O_WRONLY));
    const auto start = Clock::now();
    const pid_t pid = orvalt::test::StartProgram(
        {words,
         {"XDG_CONFIG_HOME=" + folder.Path().string(), "XDG_DATA_HOME=" + folder.Path().string()},
         outFd.Get(),
         errFd.Get(),
         {}});
    const auto ended = orvalt::test::ProgramEnded(pid);
    Figures figures;
    figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    figures.peakKb = ended ? ended->peakResidentKb : 0;
    figures.status = ended ? ended->exitStatus : -1;
    const std::string printed = orvalt::test::ReadBytes(out);
    figures.bytes = printed.size();
    figures.digest = orvalt::Sha256Hex(printed).substr(0, 12);
    return figures;
}

// Three runs: the median time, the highest peak, the last output.
Figures Measure(const std::vector<std::string>& words, const TempFolder& folder) {
    std::vector<double> times;
    Figures figures;
    long peak = 0;
    for (int i = 0; i < 3; ++i) {
        figures = RunOnce(words, folder);
        times.push_back(figures.seconds);
        peak = std::max(peak, figures.peakKb);
    }
    figures.seconds = Median(times);
    figures.peakKb = peak;
    return figures;
}

void Report(const char* what, const Figures& f) {
    if (f.status != 0) {
        std::printf("  %-22s exit status %d (refused)\n", what, f.status);
        return;
    }
    std::printf("  %-22s %7.3f s  peak %7.1f MB  %9zu bytes  sha256 %s\n", what, f.seconds,
                f.peakKb / 1024.0, f.bytes, f.digest.c_str());
}

void MeasurePrograms(const char* kind, const std::string& db,
                     const std::vector<std::string>& programs, const TempFolder& folder) {
    for (const std::string& program : programs) {
        std::printf("%s, %s\n", kind, program.c_str());
        Report("--version (the floor)", Measure({program, "--version"}, folder));
        Report("history", Measure({program, "history", "--db", db}, folder));
        Report("history --limit 10",
               Measure({program, "history", "--limit", "10", "--db", db}, folder));
        std::fflush(stdout);
    }
}

// In a child of its own: what the generating takes stays out of this
// process, whose size every program it starts inherits until it replaces
// itself, and so out of their peaks.
bool Generate(const std::string& db, long tests) {
    const std::string said = orvalt::test::RunInChild([&] {
        auto opened = orvalt::OpenRecordDatabase(db);
        if (!opened)
            return "failed: " + opened.Error();
        const auto start = Clock::now();
        GenerateRuns(**opened, tests);
        char line[80];
        std::snprintf(line, sizeof line, "generated %ld tests in %.1f s", tests,
                      std::chrono::duration<double>(Clock::now() - start).count());
        return std::string(line);
    });
    std::printf("%s\n", said.c_str());
    std::fflush(stdout);
    return said.starts_with("generated");
}

}  // namespace

int main(int argc, char** argv) {
    const long tests = argc > 1 ? std::atol(argv[1]) : 1000000;
    std::vector<std::string> programs(argv + std::min(argc, 2), argv + argc);
    if (programs.empty())
        programs.push_back(ORVALT_CLI_PATH);
    TempFolder folder;
    const std::string sqlite = (folder / "history.sqlite").string();
    if (!Generate(sqlite, tests))
        return 1;
    MeasurePrograms("SQLite", sqlite, programs, folder);

    if (!orvalt::test::PostgresInstalled())
        return 0;
    orvalt::test::PgCluster cluster;
    if (!cluster.Ready() || !Generate(cluster.Url(), tests))
        return 0;
    MeasurePrograms("PostgreSQL", cluster.Url(), programs, folder);
    return 0;
}
