// "rejudge" over a generated SQLite database of judged runs: a shift of units
// recorded through the recorder and its store as a station records them, with
// limits, most passing at once, one in five failing and passing on retest,
// one in forty stopped first (support/JudgedRunsKit.h says which).
//
// usage: bench_records_rejudge [RUNS] [DATABASE]
// A given DATABASE file is kept (and reused when it exists).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "reading/Rejudge.h"
#include "recording/RunRecorder.h"
#include "support/JudgedRunsKit.h"
#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void Generate(const std::filesystem::path& path, const std::filesystem::path& spool, long runs) {
    const auto start = Clock::now();
    orvalt::test::JudgedRunsMade made;
    {
        // The shift is handed over far faster than a station could: it waits
        // for the writer, as a run in virtual time does.
        orvalt::RunRecorder recorder({path.string(), spool, std::chrono::milliseconds(0), {}},
                                     {std::chrono::milliseconds(500), orvalt::WriterBehind::Wait});
        made = orvalt::test::RecordJudgedShift(recorder, runs);
        recorder.Flush();
    }
    std::printf("recorded %lld runs (%lld PASS, %lld FAIL, %lld stopped) in %.1f s, file %.1f MB\n",
                static_cast<long long>(made.runs), static_cast<long long>(made.passed),
                static_cast<long long>(made.failed), static_cast<long long>(made.stopped),
                Seconds(start), std::filesystem::file_size(path) / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
    const long runs = argc > 1 ? std::atol(argv[1]) : 10000;
    orvalt::test::TempFolder folder;
    const std::filesystem::path path = argc > 2 ? argv[2] : (folder / "rejudge.sqlite").string();
    if (!std::filesystem::exists(path))
        Generate(path, folder / "spool.sqlite", runs);
    auto db = orvalt::OpenSqlConnectionToRead(path.string());  // as the command opens it
    if (!db || !*db) {
        std::fprintf(stderr, "%s\n", db ? "no database" : db.Error().c_str());
        return 1;
    }
    long said = 0;
    const auto start = Clock::now();
    const auto tally = orvalt::RejudgeRuns(**db, {}, [&said](const std::string&) { ++said; });
    const double seconds = Seconds(start);
    if (!tally) {
        std::fprintf(stderr, "%s\n", tally.Error().c_str());
        return 1;
    }
    std::printf("%s\n", orvalt::RejudgeSummary(*tally).c_str());
    std::printf("rejudge over %lld runs: %lld disagreements, %.2f s, %.0f runs/s\n",
                static_cast<long long>(tally->runs), static_cast<long long>(tally->disagreements),
                seconds, static_cast<double>(tally->runs) / seconds);
    return tally->Agreed() && said == 0 ? 0 : 1;
}
