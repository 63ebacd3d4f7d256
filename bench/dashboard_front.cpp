// The dashboard's HTTP front under hostile clients: orvalt-dashboard, the
// program a line runs, on 127.0.0.1 over a SQLite file of one model's runs,
// started afresh for each attack so that each peak of memory is its own:
//
// - Range: /model?name=X100 asked with 1500 overlapping "0-" ranges (a
//   4.5 KB request), once and three at once: the status, the bytes answered
//   and the dashboard's resident memory before and at its peak; and
//   "Range: bytes=0-10" on /, against the page asked without it.
// - Headers: a request of 100 000 header lines of 1 KB: what the dashboard
//   took of it, what it answered and its memory's peak.
// - Slow clients: GET / while 150 connections send one byte every 3 s,
//   /health while 97 send one every 4 s, and /?part=main with 64 event
//   streams open and 33 slow connections: each page's time (or that it did
//   not load within the bound).
// - Heavy pages: /model?name=X100&last=100000 alone, then /unit while
//   sixteen of them are asked at once.
// - Stop: the time from SIGTERM to the program's end while one client
//   trickles its request.
//
// usage: bench_dashboard_front [--dashboard PATH] [--runs N] [--database FILE]
//                              [--bound SECONDS] [--only range|headers|slow|heavy|stop]
// (default the dashboard built beside it, 20 000 runs, a fresh database, 60 s:
// how long a page or a stop is waited for). A given database is kept and
// reused when it holds runs already.

#include <fcntl.h>
#include <signal.h>

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "RecordsBench.h"
#include "platform/UniqueFd.h"
#include "recording/RecordStore.h"
#include "support/ChildProcess.h"
#include "support/ProcessFigures.h"
#include "support/RawHttp.h"
#include "support/TempFolder.h"
#include "support/TricklingClients.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using orvalt::test::RawAnswer;
using orvalt::test::RawHttpConnection;
using orvalt::test::TricklingClients;

struct Options {
    std::string dashboard = ORVALT_DASHBOARD_PATH;
    long runs = 20000;
    std::string database;
    std::chrono::seconds bound{60};
    std::string only;  // one attack: range, headers, slow, heavy or stop
};

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Mb(std::size_t bytes) {
    return static_cast<double>(bytes) / 1e6;
}

// orvalt-dashboard with its standard error in a file; SIGTERM when it goes.
class Dashboard {
  public:
    Dashboard(const Options& options, const fs::path& folder) : err_(folder / "dashboard.err") {
        const orvalt::UniqueFd outFd(::open("/dev/null", O_WRONLY | O_CLOEXEC));
        const orvalt::UniqueFd errFd(
            ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        pid_ = orvalt::test::StartProgram(
            {{options.dashboard, "--db", options.database, "--listen", "127.0.0.1:0"},
             {"HOME=" + folder.string()},
             outFd.Get(),
             errFd.Get(),
             {}});
        for (const auto until = Clock::now() + 120s; port_ == 0 && Clock::now() < until;) {
            const std::string said = orvalt::test::ReadBytes(err_);
            const std::size_t at = said.find("on http://127.0.0.1:");
            if (at != std::string::npos && said.find('\n', at) != std::string::npos) {
                port_ = std::stoi(said.substr(at + 20));
            } else if (orvalt::test::ProgramEnded(pid_, false)) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(50ms);
        }
        if (port_ == 0) {
            std::fprintf(stderr, "the dashboard did not serve: %s\n",
                         orvalt::test::ReadBytes(err_).c_str());
        }
    }
    ~Dashboard() { Stop(60s); }
    Dashboard(const Dashboard&) = delete;
    Dashboard& operator=(const Dashboard&) = delete;

    int Port() const { return port_; }
    orvalt::ResidentMemory Memory() const { return orvalt::ResidentMemoryOf(pid_); }

    // SIGTERM, and how long it took to end (killed after `patience`).
    std::optional<double> Stop(std::chrono::milliseconds patience) {
        if (pid_ <= 0) {
            return std::nullopt;
        }
        const auto start = Clock::now();
        ::kill(pid_, SIGTERM);
        const orvalt::test::ProgramEnd end = orvalt::test::ProgramEndedWithin(pid_, patience);
        pid_ = -1;
        return end.signal == SIGKILL ? std::nullopt : std::optional(Seconds(Clock::now() - start));
    }

  private:
    fs::path err_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// A page's time to its last byte and its status (0: no answer within the
// bound).
struct PageLoad {
    int status = 0;
    double seconds = 0;
};

PageLoad PageTime(int port, const std::string& target, std::chrono::seconds bound) {
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(bound);
    client.set_read_timeout(bound);
    const auto start = Clock::now();
    const auto answer = client.Get(target.c_str());
    return {answer ? answer->status : 0, Seconds(Clock::now() - start)};
}

std::string TimeText(const PageLoad& load, std::chrono::seconds bound) {
    char text[64];
    if (load.status == 200) {
        std::snprintf(text, sizeof text, "%.2f s", load.seconds);
    } else if (load.status != 0) {
        std::snprintf(text, sizeof text, "%d after %.2f s", load.status, load.seconds);
    } else {
        std::snprintf(text, sizeof text, "not within %lld s",
                      static_cast<long long>(bound.count()));
    }
    return text;
}

std::string TimeText(const std::optional<double>& seconds, std::chrono::seconds bound) {
    return TimeText(seconds ? PageLoad{200, *seconds} : PageLoad{}, bound);
}

RawAnswer Ask(int port, const std::string& request, std::chrono::seconds bound) {
    RawHttpConnection connection(port);
    if (!connection.Send(request)) {
        return {};
    }
    return connection.Read(bound, 4096);
}

void RangeAttack(const Options& options, const fs::path& folder) {
    std::string ranges = "bytes=0-";
    for (int i = 1; i < 1500; ++i) {
        ranges += ",0-";
    }
    const std::string attack =
        "GET /model?name=X100 HTTP/1.1\r\nHost: 127.0.0.1\r\nRange: " + ranges + "\r\n\r\n";
    {
        Dashboard dashboard(options, folder);
        const auto before = dashboard.Memory();
        const RawAnswer plain = Ask(
            dashboard.Port(), "GET /model?name=X100 HTTP/1.1\r\nHost: x\r\n\r\n", options.bound);
        const RawAnswer one = Ask(dashboard.Port(), attack, options.bound);
        std::printf(
            "range: a %zu-byte request on a %zu-byte page: status %d, %zu bytes answered; "
            "RSS %.1f MB before, %.1f MB at its peak\n",
            attack.size(), plain.bytes, one.status, one.bytes, Mb(before.nowBytes),
            Mb(dashboard.Memory().peakBytes));
    }
    {
        Dashboard dashboard(options, folder);
        std::vector<RawAnswer> three(3);
        std::vector<std::thread> askers;
        for (auto& answer : three) {
            askers.emplace_back(
                [&, port = dashboard.Port()] { answer = Ask(port, attack, options.bound); });
        }
        for (auto& asker : askers) {
            asker.join();
        }
        std::printf(
            "range: three at once: %zu, %zu and %zu bytes answered; RSS at its peak "
            "%.1f MB\n",
            three[0].bytes, three[1].bytes, three[2].bytes, Mb(dashboard.Memory().peakBytes));
        const RawAnswer whole = Ask(dashboard.Port(), "GET / HTTP/1.1\r\nHost: x\r\n\r\n", 10s);
        const RawAnswer part =
            Ask(dashboard.Port(), "GET / HTTP/1.1\r\nHost: x\r\nRange: bytes=0-10\r\n\r\n", 10s);
        std::printf(
            "range: / with bytes=0-10: status %d, %zu bytes (without: status %d, %zu "
            "bytes), Content-Range \"%s\"\n",
            part.status, part.bytes, whole.status, whole.bytes,
            orvalt::test::HeaderOf(part.kept, "Content-Range").c_str());
    }
}

void HeaderFlood(const Options& options, const fs::path& folder) {
    Dashboard dashboard(options, folder);
    const auto before = dashboard.Memory();
    RawHttpConnection connection(dashboard.Port());
    const std::string line = "X-Filler: " + std::string(1012, 'a') + "\r\n";  // 1 KB
    std::size_t taken = 0;
    bool sent = connection.Send("GET / HTTP/1.1\r\nHost: x\r\n", 5s);
    for (int i = 0; sent && i < 100000; ++i) {
        sent = connection.Send(line, 5s);
        taken += sent ? line.size() : 0;
    }
    if (sent) {
        sent = connection.Send("\r\n", 5s);
    }
    const RawAnswer answer = connection.Read(options.bound, 4096);
    std::printf(
        "headers: 100 000 lines of 1 KB: %.1f MB taken, %s, status %d; RSS %.1f MB "
        "before, %.1f MB at its peak\n",
        Mb(taken), sent ? "all sent" : "refused part-way", answer.status, Mb(before.nowBytes),
        Mb(dashboard.Memory().peakBytes));
}

void SlowClients(const Options& options, const fs::path& folder) {
    {
        Dashboard dashboard(options, folder);
        const TricklingClients slow(dashboard.Port(), 150, 3s);
        std::this_thread::sleep_for(6s);  // past any first read's time-out
        const auto page = PageTime(dashboard.Port(), "/", options.bound);
        std::printf(
            "slow: GET / with 150 connections sending a byte every 3 s: %s (%zu of "
            "them still open)\n",
            TimeText(page, options.bound).c_str(), slow.Open());
    }
    {
        Dashboard dashboard(options, folder);
        const TricklingClients slow(dashboard.Port(), 97, 4s);
        std::this_thread::sleep_for(6s);
        const auto page = PageTime(dashboard.Port(), "/health", options.bound);
        std::printf("slow: GET /health with 97 connections sending a byte every 4 s: %s\n",
                    TimeText(page, options.bound).c_str());
    }
    {
        Dashboard dashboard(options, folder);
        std::vector<std::unique_ptr<RawHttpConnection>> streams;
        for (int i = 0; i < 64; ++i) {
            streams.push_back(std::make_unique<RawHttpConnection>(dashboard.Port()));
            streams.back()->Send("GET /events HTTP/1.1\r\nHost: x\r\n\r\n");
        }
        std::this_thread::sleep_for(1s);
        const TricklingClients slow(dashboard.Port(), 33, 3s);
        std::this_thread::sleep_for(6s);
        const auto page = PageTime(dashboard.Port(), "/?part=main", options.bound);
        std::printf("slow: GET /?part=main with 64 streams open and 33 slow connections: %s\n",
                    TimeText(page, options.bound).c_str());
    }
}

void HeavyPages(const Options& options, const fs::path& folder) {
    Dashboard dashboard(options, folder);
    const std::string heavy = "/model?name=X100&last=100000";
    const auto alone = PageTime(dashboard.Port(), heavy, options.bound);
    const auto unitAlone = PageTime(dashboard.Port(), "/unit?serial=SN1", options.bound);
    std::vector<std::thread> askers;
    std::vector<PageLoad> times(16);
    for (auto& time : times) {
        askers.emplace_back(
            [&, port = dashboard.Port()] { time = PageTime(port, heavy, options.bound); });
    }
    std::this_thread::sleep_for(200ms);
    const auto unit = PageTime(dashboard.Port(), "/unit?serial=SN1", options.bound);
    for (auto& asker : askers) {
        asker.join();
    }
    double slowest = 0;
    int failed = 0;
    for (const PageLoad& time : times) {
        slowest = std::max(slowest, time.seconds);
        failed += time.status == 200 ? 0 : 1;
    }
    std::printf(
        "heavy: %s alone %s, /unit alone %s; /unit while sixteen are asked at once: %s "
        "(the last of the sixteen after %.2f s, %d of them not 200); RSS at its peak "
        "%.1f MB\n",
        heavy.c_str(), TimeText(alone, options.bound).c_str(),
        TimeText(unitAlone, options.bound).c_str(), TimeText(unit, options.bound).c_str(), slowest,
        failed, Mb(dashboard.Memory().peakBytes));
}

void StopTime(const Options& options, const fs::path& folder) {
    Dashboard dashboard(options, folder);
    const TricklingClients slow(dashboard.Port(), 1, 3s);
    std::this_thread::sleep_for(4s);
    const auto took = dashboard.Stop(options.bound);
    std::printf("stop: SIGTERM to exit with one client trickling its request: %s\n",
                TimeText(took, options.bound).c_str());
}

bool MakeDatabase(const Options& options) {
    auto opened = orvalt::OpenRecordDatabase(options.database);
    if (!opened) {
        std::fprintf(stderr, "%s\n", opened.Error().c_str());
        return false;
    }
    GeneratedRunShape shape;
    shape.run = [](long, orvalt::RunStart& run, orvalt::RunFinish&) { run.unit.model = "X100"; };
    // Three figures on each judged test, as a line measures them.
    shape.test = [](long r, int, orvalt::TestFinish& finish) {
        if (!finish.verdict) {
            return;
        }
        const auto pass = orvalt::MeasurementOutcome::Pass;
        finish.measurements = {
            {{"TimeToOffA", 0.5 + static_cast<double>(r % 7) * 0.01, "s", 2}, 0.0, 1.0, pass},
            {{"V4", 4.0 + static_cast<double>(r % 5) * 0.02, "V", 2}, 2.4, 4.5, pass},
            {{"TimeToOn", 3.1, "s", 2}, std::nullopt, 3.5, pass},
        };
    };
    const auto start = Clock::now();
    GenerateRuns(**opened, options.runs * 10, shape);
    std::printf("generated %ld runs of X100 in %.1f s\n", options.runs,
                Seconds(Clock::now() - start));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i], value = argv[i + 1];
        if (name == "--dashboard") {
            options.dashboard = value;
        } else if (name == "--runs") {
            options.runs = std::stol(value);
        } else if (name == "--database") {
            options.database = value;
        } else if (name == "--only") {
            options.only = value;
        } else if (name == "--bound") {
            options.bound = std::chrono::seconds(std::stol(value));
        } else {
            std::fprintf(stderr, "unknown option %s\n", name.c_str());
            return 2;
        }
    }
    const orvalt::test::TempFolder folder;
    const bool fresh = options.database.empty() || !fs::exists(options.database);
    if (options.database.empty()) {
        options.database = (folder / "results.sqlite").string();
    }
    if (fresh && !MakeDatabase(options)) {
        return 1;
    }
    std::printf("dashboard %s\n", options.dashboard.c_str());
    const std::pair<const char*, void (*)(const Options&, const fs::path&)> attacks[] = {
        {"range", RangeAttack},
        {"headers", HeaderFlood},
        {"slow", SlowClients},
        {"heavy", HeavyPages},
        {"stop", StopTime}};
    for (const auto& [name, attack] : attacks) {
        if (options.only.empty() || options.only == name) {
            attack(options, folder.Path());
        }
    }
    return 0;
}
