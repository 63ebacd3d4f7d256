// The dashboard under the load of a line: orvalt-dashboard, the program a
// line runs, serves a database of 100 000 runs shaped as a line (LineBench.h,
// up to this moment) on 127.0.0.1, with 50 pages open while four stations
// (orvalt-cli lots on fixtures F1..F4) record into the same database.
//
// Each page is what a browser holds (OpenLinePage.h): one /events stream,
// open the whole time, and the page loaded whole once, then its main part
// (/?part=main) whenever the stream tells of a generation the page does not
// show yet, as the page's script does. Every such GET is timed to its last
// byte: count, p50, p95 and max, and whether p95 is under 200 ms. Each page
// also counts the generations it heard, and must hear the last one of the
// phase.
//
// The stations' run time: the four lots, the same units and seeds, once
// without the dashboard and its pages and once with them, in rounds that
// alternate which goes first so that a machine growing busier or quieter
// weighs on both; the median of each and the change in %, and whether it is
// under 5 %.
//
// With --pin the stations have the first core to themselves and everything
// else (the dashboard, the pages, the database server and this program)
// shares the second, as on a line, where each station is a PC of its own and
// the dashboard runs on the line's server beside the database: the change
// then measures what the dashboard costs the stations through the database
// (its reads, the server's time, the locks) rather than through a CPU they
// would not share on a line.
//
// usage: bench_dashboard_load [sqlite|postgres|both] [--runs N] [--rounds N]
//                             [--units N] [--pages N] [--database FILE|URL]
//                             [--pin]
// (default both, 100000 runs, 3 rounds, 200 units a station, 50 pages;
// postgres on a throw-away server, only where Debian's server is installed,
// the dashboard logging in as a role that may only read). A given database
// (a SQLite file, or a server's URL, which the dashboard then reads with
// --allow-writer) is kept, and reused when it holds runs already: its runs
// end where they ended when it was made, so today's part of the page may be
// smaller.

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "LineBench.h"
#include "OpenLinePage.h"
#include "RecordsBench.h"
#include "platform/PollWait.h"
#include "platform/TerminationEvent.h"
#include "platform/UniqueFd.h"
#include "support/ChildProcess.h"
#include "support/PgCluster.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kStations = 4;
constexpr std::size_t kMostPages = 64;  // the streams the dashboard lets open
constexpr auto kLotsAtMost = 15min;
constexpr auto kServingWithin = 120s;
constexpr auto kHeardWithin = 30s;
constexpr double kPageLoadGoalMs = 200.0;
constexpr double kStationChangeGoal = 5.0;  // %
// The cores of --pin.
constexpr int kStationsCore = 0;
constexpr int kLineServerCore = 1;

struct Options {
    std::string kind = "both";
    long runs = 100000;
    int rounds = 3;
    int units = 200;
    std::size_t pages = 50;
    std::string database;  // empty: a fresh one
    bool pin = false;
};

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// ---- the programs --------------------------------------------------------

// A program of ours with its standard error in a file, ended with SIGTERM
// at the latest when this goes.
class Child {
  public:
    Child(std::vector<std::string> words, const fs::path& home, const fs::path& errPath) {
        const orvalt::UniqueFd outFd(::open("/dev/null", O_WRONLY | O_CLOEXEC));
        const orvalt::UniqueFd errFd(
            ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        pid_ = orvalt::test::StartProgram(
            {std::move(words),
             {"HOME=" + home.string(), "XDG_CONFIG_HOME=" + (home / "config").string(),
              "XDG_DATA_HOME=" + (home / "data").string()},
             outFd.Get(),
             errFd.Get(),
             {}});
    }

    ~Child() { Stop(); }

    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // What it used, once it ended by itself; nullopt while it runs.
    const std::optional<orvalt::test::ProgramEnd>& Ended() {
        if (!ended_ && pid_ > 0) {
            ended_ = orvalt::test::ProgramEnded(pid_, false);
        }
        return ended_;
    }

    // SIGTERM, and what it used; nullopt when it never started.
    const std::optional<orvalt::test::ProgramEnd>& Stop() {
        if (!Ended() && pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ended_ = orvalt::test::ProgramEnded(pid_);
        }
        return ended_;
    }

  private:
    pid_t pid_ = -1;
    std::optional<orvalt::test::ProgramEnd> ended_;
};

std::string ErrorsOf(const fs::path& errPath) {
    return orvalt::test::ReadBytes(errPath).substr(0, 600);
}

// What the benchmark runs against one database.
struct Bench {
    const char* label;
    std::string stationsDb;
    std::vector<std::string> dashboardArgs;  // --db and what else
    Options options;
    fs::path folder;  // scratch: the programs' homes and logs
    int stopFd;       // readable once the benchmark is to end
    // The database server's login of the dashboard, when it is the
    // dashboard's alone: what the server does for it is measured too.
    std::string serverLogin;
};

// Ctrl+C or SIGTERM ends the benchmark at its next wait, so that the
// stations, the dashboard and the server it started end with it and its
// folders go.
bool Signalled(int stopFd, int waitMs = 0) {
    return orvalt::WaitForAny({stopFd}, waitMs).kind == orvalt::PollOutcome::Ready;
}

bool Interrupted(const Bench& bench, int waitMs = 0) {
    return Signalled(bench.stopFd, waitMs);
}

// orvalt-dashboard on 127.0.0.1, any free port; 0 when it did not serve.
int StartDashboard(const Bench& bench, std::unique_ptr<Child>& dashboard) {
    std::vector<std::string> words{ORVALT_DASHBOARD_PATH, "--listen", "127.0.0.1:0"};
    words.insert(words.end(), bench.dashboardArgs.begin(), bench.dashboardArgs.end());
    const fs::path err = bench.folder / "dashboard.err";
    fs::create_directories(bench.folder / "dashboard");
    dashboard = std::make_unique<Child>(words, bench.folder / "dashboard", err);
    const std::string serving = "orvalt-dashboard: serving ";
    for (const auto until = Clock::now() + kServingWithin; Clock::now() < until;) {
        const std::string said = orvalt::test::ReadBytes(err);
        const std::size_t line = said.find(serving);
        const std::size_t at = said.find("http://127.0.0.1:", line);
        if (line != std::string::npos && at != std::string::npos) {
            return static_cast<int>(Number(std::string_view(said).substr(at + 17)).value_or(0));
        }
        if (dashboard->Ended() || Interrupted(bench, 50)) {
            break;
        }
    }
    std::fprintf(stderr, "%s: the dashboard did not serve: %s\n", bench.label,
                 ErrorsOf(err).c_str());
    return 0;
}

struct LotsTime {
    double wallS = 0.0;  // the mean of the stations' own wall times
    double cpuS = 0.0;   // the stations' together
    int failed = 0;
};

std::vector<std::string> LotWords(const Bench& bench, const std::string& serialPrefix,
                                  int station) {
    const std::string examples = ORVALT_EXAMPLES_DIR;
    std::vector<std::string> words;
    if (bench.options.pin) {
        words = {"/usr/bin/taskset", "-c", std::to_string(kStationsCore)};
    }
    std::vector<std::string> lot{ORVALT_CLI_PATH,
                                 "--simulate",
                                 "--fast",
                                 "--lot-profile",
                                 examples + "/lot-steady.json",
                                 "--units",
                                 std::to_string(bench.options.units),
                                 "--serial-prefix",
                                 serialPrefix + "-F" + std::to_string(station) + "-",
                                 "--fixture",
                                 "F" + std::to_string(station),
                                 "--model",
                                 "X100",
                                 "--limits",
                                 examples + "/limits-pass.csv",
                                 "--db",
                                 bench.stationsDb,
                                 examples + "/TestCfg.csv"};
    words.insert(words.end(), lot.begin(), lot.end());
    return words;
}

// One station's lot: the station's home (its settings and data), its
// program, and its wall time once it ended.
struct StationLot {
    fs::path home;
    std::unique_ptr<Child> program;
    std::optional<double> wallS;
};

std::vector<StationLot> StartLots(const Bench& bench, const std::string& serialPrefix) {
    std::vector<StationLot> lots;
    for (int s = 1; s <= kStations; ++s) {
        const fs::path home = bench.folder / (serialPrefix + "-F" + std::to_string(s));
        fs::create_directories(home);
        lots.push_back({home,
                        std::make_unique<Child>(LotWords(bench, serialPrefix, s), home,
                                                home.string() + ".err"),
                        std::nullopt});
    }
    return lots;
}

// Each lot's wall time, taken as it ends (looked at every 5 ms).
void TimeLots(const Bench& bench, std::vector<StationLot>& lots, Clock::time_point start) {
    const auto running = [](const StationLot& lot) { return !lot.wallS; };
    while (std::any_of(lots.begin(), lots.end(), running) && Clock::now() < start + kLotsAtMost &&
           !Interrupted(bench, 5)) {
        for (StationLot& lot : lots) {
            if (running(lot) && lot.program->Ended()) {
                lot.wallS = Seconds(Clock::now() - start);
            }
        }
    }
}

// The lots' times; one that did not end by itself is stopped and said.
LotsTime EndLots(const Bench& bench, std::vector<StationLot>& lots) {
    LotsTime time;
    for (StationLot& lot : lots) {
        const auto& end = lot.program->Stop();
        if (!lot.wallS || !end || end->exitStatus != 0) {
            ++time.failed;
            std::fprintf(stderr, "%s: station %s did not finish its lot: %s\n", bench.label,
                         lot.home.filename().c_str(), ErrorsOf(lot.home.string() + ".err").c_str());
        }
        time.wallS += lot.wallS.value_or(Seconds(kLotsAtMost)) / kStations;
        time.cpuS += end ? end->cpuSeconds : 0.0;
        fs::remove_all(lot.home);
    }
    return time;
}

// The four lots at once, each station with settings and data of its own.
LotsTime RecordLots(const Bench& bench, const std::string& serialPrefix) {
    const auto start = Clock::now();
    std::vector<StationLot> lots = StartLots(bench, serialPrefix);
    TimeLots(bench, lots, start);
    return EndLots(bench, lots);
}

// ---- a phase with the dashboard --------------------------------------------

struct LoadedPhase {
    LotsTime lots;
    std::vector<PageLoad> loads;
    std::vector<Heard> heard;
    std::uint64_t lastGeneration = 0;
    bool heardTheLast = false;  // every page heard lastGeneration
    double dashboardCpuS = 0.0;
    std::optional<double> serverCpuS;  // the server's sessions of the dashboard
    double pagesCpuS = 0.0;            // on a line, the browsers'
};

// The generation the dashboard shows now, by /health.
std::optional<std::uint64_t> HealthGeneration(int port) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(10, 0);
    const httplib::Result health = client.Get("/health");
    if (!health || health->status != 200 || !health->body.starts_with("ok ")) {
        return std::nullopt;
    }
    return Number(std::string_view(health->body).substr(3));
}

bool EveryPageHeard(std::vector<std::unique_ptr<OpenLinePage>>& pages,
                    std::optional<std::uint64_t> generation) {
    const auto until = Clock::now() + kHeardWithin;
    return std::all_of(pages.begin(), pages.end(), [&](const auto& page) {
        return page->WaitHeard(
            generation, std::max<Clock::duration>(until - Clock::now(), Clock::duration::zero()));
    });
}

// The pages after the lots: each one's loads, and whether each heard the
// generation the dashboard came to once the last run's end reached it.
void CollectPages(std::vector<std::unique_ptr<OpenLinePage>>& pages, int port, LoadedPhase& phase) {
    for (auto& page : pages) {
        page->StopLoading();
        phase.loads.insert(phase.loads.end(), page->Loads().begin(), page->Loads().end());
    }
    std::this_thread::sleep_for(1500ms);  // three of the dashboard's looks at the records
    const auto last = HealthGeneration(port);
    phase.lastGeneration = last.value_or(0);
    phase.heardTheLast = last && EveryPageHeard(pages, last);
    for (const auto& page : pages) {
        phase.heard.push_back(page->HeardSoFar());
    }
}

// What this program's threads used, the pages' streams and loads among them.
double OwnCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// What the server's sessions of `login` used so far (PostgreSQL names each
// session's process "postgres: LOGIN DATABASE ..."): the dashboard's reads,
// which its own CPU does not show.
double ServerCpuSeconds(const std::string& login) {
    const double ticks = static_cast<double>(::sysconf(_SC_CLK_TCK));
    double seconds = 0.0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        if (!orvalt::test::ReadBytes(entry.path() / "cmdline")
                 .starts_with("postgres: " + login + " ")) {
            continue;
        }
        // utime and stime are the 14th and 15th fields, the name (2nd) in
        // parentheses.
        const std::string stat = orvalt::test::ReadBytes(entry.path() / "stat");
        std::istringstream fields(stat.substr(stat.rfind(')') + 1));
        std::string skipped;
        for (int field = 3; field < 14; ++field) {
            fields >> skipped;
        }
        unsigned long long user = 0, system = 0;
        fields >> user >> system;
        seconds += static_cast<double>(user + system) / ticks;
    }
    return seconds;
}

std::optional<LoadedPhase> RecordLotsWithPagesOpen(const Bench& bench,
                                                   const std::string& serialPrefix) {
    // The dashboard goes first, which ends every page's stream whatever
    // state the page is in.
    std::vector<std::unique_ptr<OpenLinePage>> pages;
    std::unique_ptr<Child> dashboard;
    const int port = StartDashboard(bench, dashboard);
    if (port <= 0) {
        return std::nullopt;
    }
    for (std::size_t p = 0; p < bench.options.pages; ++p) {
        pages.push_back(std::make_unique<OpenLinePage>(port));
    }
    if (!EveryPageHeard(pages, std::nullopt)) {
        std::fprintf(stderr, "%s: not every page's stream opened\n", bench.label);
        return std::nullopt;
    }
    LoadedPhase phase;
    const double ownCpuS = OwnCpuSeconds();
    for (auto& page : pages) {
        page->StartLoading();
    }
    phase.lots = RecordLots(bench, serialPrefix);
    CollectPages(pages, port, phase);
    phase.pagesCpuS = OwnCpuSeconds() - ownCpuS;
    if (!bench.serverLogin.empty()) {
        phase.serverCpuS = ServerCpuSeconds(bench.serverLogin);
    }
    const auto& end = dashboard->Stop();
    phase.dashboardCpuS = end ? end->cpuSeconds : 0.0;
    return phase;
}

// ---- the figures -----------------------------------------------------------

void PrintLoads(const char* label, const char* what, const std::vector<PageLoad>& loads,
                bool verdict) {
    std::vector<double> ms;
    std::size_t bytes = 0;
    for (const PageLoad& load : loads) {
        ms.push_back(load.ms);
        bytes = std::max(bytes, load.bytes);
    }
    const double p95 = Percentile(ms, 0.95);
    std::printf("%s:   %-22s %6zu loads  p50 %7.1f ms  p95 %7.1f ms  max %7.1f ms  (%zu kB)%s\n",
                label, what, ms.size(), Percentile(ms, 0.5), p95, Percentile(ms, 1.0), bytes / 1024,
                !verdict                ? ""
                : p95 < kPageLoadGoalMs ? "  p95 < 200 ms: yes"
                                        : "  p95 < 200 ms: NO");
}

void PrintPageLoads(const char* label, const std::vector<LoadedPhase>& phases) {
    std::vector<PageLoad> all, whole, part;
    for (const LoadedPhase& phase : phases) {
        all.insert(all.end(), phase.loads.begin(), phase.loads.end());
    }
    const auto failed = std::count_if(all.begin(), all.end(), [](const auto& l) { return !l.ok; });
    for (const PageLoad& load : all) {
        (load.whole ? whole : part).push_back(load);
    }
    std::printf("%s: line page loads while the stations recorded (%td failed):\n", label, failed);
    PrintLoads(label, "whole page  /", whole, false);
    PrintLoads(label, "main part  /?part=main", part, false);
    PrintLoads(label, "every load", all, true);
}

void PrintHeard(const char* label, const std::vector<LoadedPhase>& phases) {
    std::vector<long> changes;
    std::size_t streamed = 0, pages = 0, phasesHeard = 0;
    for (const LoadedPhase& phase : phases) {
        for (const Heard& heard : phase.heard) {
            changes.push_back(heard.changes);
            streamed += heard.streamed ? 1 : 0;
            ++pages;
        }
        phasesHeard += phase.heardTheLast ? 1 : 0;
    }
    const auto [fewest, most] = std::minmax_element(changes.begin(), changes.end());
    std::printf(
        "%s: event streams, a page a phase: %zu of %zu open the whole phase; generations heard: "
        "min %ld, median %ld, max %ld; every page heard the phase's last generation in %zu of "
        "%zu phases\n",
        label, streamed, pages, changes.empty() ? 0 : *fewest, Median(changes),
        changes.empty() ? 0 : *most, phasesHeard, phases.size());
}

double PercentChange(double from, double to) {
    return from > 0.0 ? (to - from) / from * 100.0 : 0.0;
}

// The medians over the rounds, which the verdict takes, and the median of
// each round's own change, which a machine that grows busier or quieter
// from round to round moves less.
void PrintStations(const char* label, const std::vector<LotsTime>& without,
                   const std::vector<LotsTime>& with) {
    std::vector<double> quietS, loadedS, quietCpu, loadedCpu, changes;
    for (std::size_t round = 0; round < without.size() && round < with.size(); ++round) {
        quietS.push_back(without[round].wallS);
        loadedS.push_back(with[round].wallS);
        quietCpu.push_back(without[round].cpuS);
        loadedCpu.push_back(with[round].cpuS);
        changes.push_back(PercentChange(without[round].wallS, with[round].wallS));
    }
    const double change = PercentChange(Median(quietS), Median(loadedS));
    std::printf(
        "%s: stations' run time, median of %zu rounds: without %.2f s, with %.2f s: %+.1f %% "
        "(under 5 %% either way: %s); the rounds' own changes' median %+.1f %% (from %+.1f to "
        "%+.1f %%); their CPU %.2f s and %.2f s: %+.1f %%\n",
        label, quietS.size(), Median(quietS), Median(loadedS), change,
        std::abs(change) < kStationChangeGoal ? "yes" : "NO", Median(changes),
        *std::min_element(changes.begin(), changes.end()),
        *std::max_element(changes.begin(), changes.end()), Median(quietCpu), Median(loadedCpu),
        PercentChange(Median(quietCpu), Median(loadedCpu)));
}

// ---- the rounds ------------------------------------------------------------

std::string ServerShare(const LoadedPhase& phase) {
    if (!phase.serverCpuS) {
        return {};
    }
    char text[64];
    std::snprintf(text, sizeof text, " and the server's for it %.2f s", *phase.serverCpuS);
    return text;
}

int RunRounds(const Bench& bench) {
    std::printf("%s: %d stations of %d units each, %zu pages, %d rounds%s\n", bench.label,
                kStations, bench.options.units, bench.options.pages, bench.options.rounds,
                !bench.options.pin ? ""
                : bench.options.database.empty()
                    ? "; the stations on core 0, the rest on core 1"
                    : "; the stations on core 0, the dashboard and the pages on core 1, the "
                      "server given where it runs");
    std::fflush(stdout);  // not again in each child
    std::vector<LotsTime> without, with;
    std::vector<LoadedPhase> phases;
    const long tag = static_cast<long>(::getpid());
    for (int round = 1; round <= bench.options.rounds; ++round) {
        const std::string prefix = "B" + std::to_string(tag) + "-R" + std::to_string(round);
        for (const bool loaded : {round % 2 == 0, round % 2 == 1}) {
            if (Interrupted(bench)) {
                std::printf("%s: interrupted\n", bench.label);
                return 1;
            }
            if (!loaded) {
                without.push_back(RecordLots(bench, prefix + "-quiet"));
                continue;
            }
            std::optional<LoadedPhase> phase = RecordLotsWithPagesOpen(bench, prefix + "-pages");
            if (!phase) {
                return 1;
            }
            with.push_back(phase->lots);
            phases.push_back(std::move(*phase));
        }
        const LoadedPhase& last = phases.back();
        std::printf(
            "%s: round %d: stations %.2f s without, %.2f s with the dashboard (%+.1f %%; %zu "
            "loads, up to generation %llu; CPU: the dashboard's %.2f s%s, the pages' %.2f s)%s\n",
            bench.label, round, without.back().wallS, with.back().wallS,
            PercentChange(without.back().wallS, with.back().wallS), last.loads.size(),
            static_cast<unsigned long long>(last.lastGeneration), last.dashboardCpuS,
            ServerShare(last).c_str(), last.pagesCpuS,
            without.back().failed + with.back().failed > 0 ? "  a station FAILED" : "");
        std::fflush(stdout);
    }
    PrintPageLoads(bench.label, phases);
    PrintHeard(bench.label, phases);
    PrintStations(bench.label, without, with);
    std::fflush(stdout);
    return 0;
}

int OnSqlite(const Options& options, int stopFd) {
    orvalt::test::TempFolder folder;
    const std::string db =
        options.database.empty() ? (folder / "line.sqlite").string() : options.database;
    if (!GeneratedLine(options.runs, std::chrono::system_clock::now()).FillIfEmpty(db, "SQLite")) {
        return 1;
    }
    return RunRounds({"SQLite", db, {"--db", db}, options, folder.Path(), stopFd, {}});
}

// The dashboard logs in as docs/dashboard.md tells a line to: a role that
// may only read the records; named for this benchmark, so that its sessions
// are known among other servers' on the machine.
std::string ReadOnlyLogin(const orvalt::test::PgCluster& cluster) {
    const std::string login = "dashboard_" + std::to_string(::getpid());
    const std::string said =
        cluster.Query(std::string("CREATE ROLE ")
                          .append(login)
                          .append(" LOGIN; GRANT SELECT ON ALL TABLES IN SCHEMA public TO ")
                          .append(login));
    if (!said.empty()) {
        std::fprintf(stderr, "PostgreSQL: no read-only login: %s\n", said.c_str());
        return {};
    }
    return login;
}

int OnPostgres(const Options& options, int stopFd) {
    orvalt::test::TempFolder folder;
    const GeneratedLine line(options.runs, std::chrono::system_clock::now());
    if (!options.database.empty()) {
        if (!line.FillIfEmpty(options.database, "PostgreSQL")) {
            return 1;
        }
        return RunRounds({"PostgreSQL",
                          options.database,
                          {"--db", options.database, "--allow-writer"},
                          options,
                          folder.Path(),
                          stopFd,
                          {}});
    }
    if (!orvalt::test::PostgresInstalled()) {
        std::printf("PostgreSQL: not installed, not measured\n");
        return 0;
    }
    orvalt::test::PgCluster cluster;
    if (!cluster.Ready()) {
        std::fprintf(stderr, "%s\n", cluster.Problem().c_str());
        return 1;
    }
    if (!line.FillIfEmpty(cluster.Url(), "PostgreSQL")) {
        return 1;
    }
    cluster.Query("VACUUM ANALYZE");  // as the server's autovacuum leaves a table after a load
    const std::string login = ReadOnlyLogin(cluster);
    if (login.empty()) {
        return 1;
    }
    return RunRounds({"PostgreSQL",
                      cluster.Url(),
                      {"--db", cluster.Url(login)},
                      options,
                      folder.Path(),
                      stopFd,
                      login});
}

// ---- the command line --------------------------------------------------------

constexpr const char* kUsage =
    "usage: bench_dashboard_load [sqlite|postgres|both] [--runs N] [--rounds N] [--units N]\n"
    "                            [--pages N] [--database FILE|URL] [--pin]\n"
    "  --runs 1..1000000 (100000), --rounds 1..20 (3), --units 1..1000 a station (200),\n"
    "  --pages 1..64 (50); a given database is one kind: sqlite, or postgres for a URL;\n"
    "  --pin: the stations on core 0, the dashboard, the pages and the server on core 1\n";

// A whole number from `low` to `high`, or nullopt.
std::optional<long> Within(const std::string& text, long low, long high) {
    const auto value = Number(text);
    if (!value || *value < static_cast<std::uint64_t>(low) ||
        *value > static_cast<std::uint64_t>(high)) {
        return std::nullopt;
    }
    return static_cast<long>(*value);
}

std::optional<Options> Parse(const std::vector<std::string>& words) {
    Options options;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "sqlite" || word == "postgres" || word == "both") {
            options.kind = word;
            continue;
        }
        if (word == "--pin") {
            options.pin = true;
            continue;
        }
        if (i + 1 == words.size()) {
            return std::nullopt;
        }
        const std::string& value = words[++i];
        std::optional<long> number;
        if (word == "--database") {
            options.database = value;
            continue;
        }
        if (word == "--runs" && (number = Within(value, 1, 1000000))) {
            options.runs = *number;
        } else if (word == "--rounds" && (number = Within(value, 1, 20))) {
            options.rounds = static_cast<int>(*number);
        } else if (word == "--units" && (number = Within(value, 1, 1000))) {
            options.units = static_cast<int>(*number);
        } else if (word == "--pages" && (number = Within(value, 1, kMostPages))) {
            options.pages = static_cast<std::size_t>(*number);
        } else {
            return std::nullopt;
        }
    }
    const bool url = options.database.starts_with("postgresql://") ||
                     options.database.starts_with("postgres://");
    if (!options.database.empty() && options.kind != (url ? "postgres" : "sqlite")) {
        return std::nullopt;
    }
    return options;
}

// Pins this thread to `core`; false, having said why, when it can't be.
bool PinnedTo(int core) {
    if (static_cast<int>(std::thread::hardware_concurrency()) <= core) {
        std::fprintf(stderr, "--pin needs %d cores; this machine has %u\n", core + 1,
                     std::thread::hardware_concurrency());
        return false;
    }
    cpu_set_t cores;
    CPU_ZERO(&cores);
    CPU_SET(core, &cores);
    if (::sched_setaffinity(0, sizeof cores, &cores) != 0) {
        std::perror("--pin: sched_setaffinity");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = Parse({argv + 1, argv + argc});
    if (!options) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    // This thread's core is the one every thread and program started from
    // here inherits; the stations' lots are moved to theirs as they start.
    if (options->pin && !PinnedTo(kLineServerCore)) {
        return 1;
    }
    const orvalt::TerminationEvent termination;  // before any child or thread
    int status = 0;
    if (options->kind != "postgres") {
        status |= OnSqlite(*options, termination.Fd());
    }
    if (options->kind != "sqlite" && !Signalled(termination.Fd())) {
        status |= OnPostgres(*options, termination.Fd());
    }
    return status;
}
