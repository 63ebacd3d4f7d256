// "yield --by model" over a generated SQLite database of a million tests
// (RecordsBench.h says which).
//
// usage: bench_records_yield [TESTS] [DATABASE]
// A given DATABASE file is kept (and reused when it exists).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "RecordsBench.h"
#include "output/YieldTable.h"
#include "reading/Yield.h"
#include "recording/RecordStore.h"
#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Each table's header and its first group.
std::string FirstGroupLines(const std::string& table) {
    std::string lines;
    for (std::size_t at = 0; at < table.size();) {
        const std::size_t header = table.find('\n', at);
        const std::size_t first = table.find('\n', header + 1);
        if (first == std::string::npos)
            break;
        lines += table.substr(at, first + 1 - at);
        const std::size_t blank = table.find("\n\n", first);
        at = blank == std::string::npos ? table.size() : blank + 2;
    }
    return lines;
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
        GenerateRuns(**opened, tests);
        std::printf("generated %ld tests in %.1f s, file %.1f MB\n", tests, Seconds(start),
                    std::filesystem::file_size(path) / 1e6);
    }
    opened->reset();
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        auto db = orvalt::OpenSqlConnection(path);  // as the command does: open, ask, print
        const auto yield = orvalt::QueryYield(**db, orvalt::YieldGrouping::Model, {});
        const std::string table = orvalt::YieldTable(*yield, orvalt::YieldGrouping::Model);
        times.push_back(Seconds(start));
        if (i == 0)
            std::printf("%zu groups, the first in each table:\n%s", yield->size(),
                        FirstGroupLines(table).c_str());
    }
    std::printf("yield --by model over %ld tests: median %.3f s (min %.3f s) of 5\n", tests,
                Median(times), *std::min_element(times.begin(), times.end()));
    return 0;
}
