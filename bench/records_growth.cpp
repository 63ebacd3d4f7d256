// How much the results database grows per test of the example plan, as the
// station records it: simulated units run the example plan in virtual time,
// judged by its passing limits, and the headless runner records each run into
// a SQLite file and into a throw-away PostgreSQL server. Two lots: the steady
// lot (2 mV of noise, as a real U3 reads) and the same unit without noise,
// whose readings pack far tighter. Each database is measured at rest, SQLite
// after a checkpoint folds its write-ahead log in, PostgreSQL after VACUUM
// (tables, indexes and TOAST), from after one run, once the first pages of
// every table and the month's partitions exist.
//
// usage: bench_records_growth [TESTS] [KEEP.sqlite] [SCALE_TESTS]
// TESTS (default 200) are rounded up to whole runs. With KEEP.sqlite one more
// run is recorded into that file and kept (the report screenshot is made from
// it). With SCALE_TESTS, a SQLite file of that many tests is built from copies
// of one recorded run (each its own UUID and start), and its size and the
// times of history, yield and report printed.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "RecordsBench.h"
#include "cli/CliOptions.h"
#include "cli/HeadlessRunner.h"
#include "cli/RecordsCommands.h"
#include "recording/Spool.h"
#include "support/PgCluster.h"
#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kExamples = ORVALT_EXAMPLES_DIR;
const std::string kPlan = kExamples + "/TestCfg.csv";

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string gLot = kExamples + "/lot-steady.json";  // the lot RecordLot runs

// `units` runs of the example plan recorded into `target` as the station
// records them; the wall time it took.
double RecordLot(const std::string& target, int units) {
    const std::vector<std::string> args{"--simulate",
                                        "--fast",
                                        "--quiet",
                                        "--lot-profile",
                                        gLot,
                                        "--units",
                                        std::to_string(units),
                                        "--manufacturer",
                                        "Acme",
                                        "--model",
                                        "X100",
                                        "--operator",
                                        "alice",
                                        "--lot",
                                        "WO-2026-0042",
                                        "--limits",
                                        kExamples + "/limits-pass.csv",
                                        "--db",
                                        target,
                                        kPlan};
    const auto parsed = orvalt::ParseCliOptions(args);
    if (!parsed.options) {
        std::fprintf(stderr, "%s\n", parsed.error.c_str());
        std::exit(2);
    }
    std::ostringstream out, err;
    orvalt::StopRequest stop;
    const auto start = Clock::now();
    const int status = orvalt::RunHeadless(*parsed.options, out, err, stop, nullptr);
    if (status != orvalt::kExitRanToEnd) {
        std::fprintf(stderr, "the lot ended with %d:\n%s", status, err.str().c_str());
        std::exit(1);
    }
    return Seconds(start);
}

double Number(orvalt::SqlConnection& db, const std::string& sql) {
    const auto rows = db.Run(sql);
    return rows && !rows->empty() ? orvalt::CellNumber(rows->at(0).at(0)) : 0.0;
}

std::unique_ptr<orvalt::SqlConnection> Open(const std::string& target) {
    auto db = orvalt::OpenRecordDatabase(target);
    if (!db) {
        std::fprintf(stderr, "%s\n", db.Error().c_str());
        std::exit(1);
    }
    return std::move(db).Value();
}

// The file's size with its write-ahead log folded in.
double SqliteBytesAtRest(const std::filesystem::path& file) {
    [[maybe_unused]] const auto folded =
        Open(file.string())->Run("PRAGMA wal_checkpoint(TRUNCATE)");
    return static_cast<double>(std::filesystem::file_size(file));
}

constexpr const char* kServerBytes =
    "SELECT SUM(pg_total_relation_size(c.oid)) FROM pg_class c JOIN pg_namespace n"
    " ON n.oid = c.relnamespace WHERE n.nspname = 'public' AND c.relkind = 'r'";

double ServerBytesAtRest(const std::string& url) {
    const auto db = Open(url);
    [[maybe_unused]] const auto vacuumed = db->Run("VACUUM");
    return Number(*db, kServerBytes);
}

void PrintGrowth(const char* name, double bytes, double tests, int runs, double wall) {
    std::printf("%-13s %.1f KB (%.0f bytes) per test; %.0f tests in %.2f s (%.1f ms a run)\n", name,
                bytes / tests / 1024.0, bytes / tests, tests, wall, wall * 1000.0 / runs);
}

// The rows of `copies` runs like `model`, each under its own UUID and start.
void WriteCopies(orvalt::SqlConnection& db, const std::vector<orvalt::RowWrite>& model,
                 long copies) {
    std::vector<orvalt::RowWrite> rows;
    for (long n = 0; n < copies; ++n) {
        char uuid[48], when[48];
        std::snprintf(uuid, sizeof uuid, "00000000-0000-4000-8000-%012ld", n);
        std::snprintf(when, sizeof when, "2026-%02ld-%02ldT%02ld:00:00.000Z", 1 + n % 12,
                      1 + n / 12 % 28, n / 336 % 24);
        for (orvalt::RowWrite row : model) {
            row.values[0] = std::string(uuid);
            if (row.table == &orvalt::RunsTable())
                row.values[1] = std::string(when);
            rows.push_back(std::move(row));
        }
        if (rows.size() > 20000 || n + 1 == copies) {
            if (const auto written = orvalt::WriteRows(db, rows); !written)
                std::fprintf(stderr, "%s\n", written.Error().why.c_str());
            rows.clear();
        }
    }
}

double CommandSeconds(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const auto start = Clock::now();
    [[maybe_unused]] const auto status = orvalt::RunRecordsCommand(args, out, err);
    const double seconds = Seconds(start);
    if (!err.str().empty())
        std::fprintf(stderr, "%s", err.str().c_str());
    return seconds;
}

void MeasureAtScale(const orvalt::test::TempFolder& folder, long tests) {
    const auto one = folder / "one.sqlite";
    RecordLot(one.string(), 1);
    const auto source = Open(one.string());
    const std::string uuid = orvalt::CellText(source->Run("SELECT run_uuid FROM runs")->at(0)[0]);
    const auto model = orvalt::SpooledRows(*source, uuid);
    const long testsPerRun = static_cast<long>(Number(*source, "SELECT COUNT(*) FROM tests"));
    const auto big = folder / "scale.sqlite";
    const long runs = tests / testsPerRun;
    const auto start = Clock::now();
    WriteCopies(*Open(big.string()), *model, runs);
    const double bytes = SqliteBytesAtRest(big);
    std::printf("%ld tests (%ld runs): built in %.0f s, file %.1f MB (%.2f KB per test)\n",
                runs * testsPerRun, runs, Seconds(start), bytes / 1e6,
                bytes / 1024.0 / static_cast<double>(runs * testsPerRun));
    const std::string file = big.string();
    std::printf("  history %.2f s, yield --by model %.2f s, report --last %.3f s\n",
                CommandSeconds({"history", "--db", file}),
                CommandSeconds({"yield", "--db", file, "--by", "model"}),
                CommandSeconds(
                    {"report", "--db", file, "--last", "--out", (folder / "last.html").string()}));
}

// What `measure` says the database holds, before and after `runs` runs; the
// growth per test printed.
template <class Bytes>
void MeasureGrowth(const char* name, const std::string& target, int runs, Bytes measure) {
    RecordLot(target, 1);
    const double tests = Number(*Open(target), "SELECT COUNT(*) FROM tests");
    const double before = measure();
    const double wall = RecordLot(target, runs);
    const double added = Number(*Open(target), "SELECT COUNT(*) FROM tests") - tests;
    PrintGrowth(name, measure() - before, added, runs, wall);
}

int TestsPerRun(const orvalt::test::TempFolder& folder) {
    const auto file = folder / "count.sqlite";
    RecordLot(file.string(), 1);
    return static_cast<int>(Number(*Open(file.string()), "SELECT COUNT(*) FROM tests"));
}

std::string WriteNoiseFreeLot(const orvalt::test::TempFolder& folder) {
    const std::string file = (folder / "lot-noise-free.json").string();
    std::FILE* lot = std::fopen(file.c_str(), "w");
    std::fputs("{\"base\": {\"noiseMv\": 0}, \"seed\": 2026}\n", lot);
    std::fclose(lot);
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    const int wanted = argc > 1 ? std::atoi(argv[1]) : 200;
    orvalt::test::TempFolder folder;
    ::setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1);  // default settings, never the user's
    ::setenv("XDG_DATA_HOME", folder.Path().c_str(), 1);    // run records, never the user's
    const std::string steady = gLot;
    const std::pair<const char*, std::string> lots[] = {
        {"steady lot (2 mV noise)", steady},
        {"the same unit without noise", WriteNoiseFreeLot(folder)}};

    const int perRun = TestsPerRun(folder);
    const int runs = (wanted + perRun - 1) / perRun;
    std::printf("example plan, limits-pass: %d tests a run, %d runs (%d tests) a lot\n", perRun,
                runs, runs * perRun);
    std::optional<orvalt::test::PgCluster> cluster;
    if (orvalt::test::PostgresInstalled())
        cluster.emplace();
    for (std::size_t i = 0; i < std::size(lots); ++i) {
        gLot = lots[i].second;
        std::printf("%s:\n", lots[i].first);
        const auto sqlite = folder / ("growth-" + std::to_string(i) + ".sqlite");
        MeasureGrowth("  SQLite:", sqlite.string(), runs,
                      [&] { return SqliteBytesAtRest(sqlite); });
        if (!cluster || !cluster->Ready()) {
            std::printf("  PostgreSQL: no server (%s)\n",
                        cluster ? cluster->Problem().c_str() : "not installed");
            continue;
        }
        const std::string url = cluster->Url();
        MeasureGrowth("  PostgreSQL:", url, runs, [&] { return ServerBytesAtRest(url); });
    }
    gLot = steady;
    if (argc > 2)
        RecordLot(argv[2], 1);
    if (argc > 3)
        MeasureAtScale(folder, std::atol(argv[3]));
    return 0;
}
