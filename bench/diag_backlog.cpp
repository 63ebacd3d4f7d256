// The bound on the diagnostic lines waiting for a session's handler thread, on
// the path the runner takes (link -> recorder -> session queue -> handler):
// lines paced at the 4,000,000-baud line rate must all arrive (0 dropped), and
// a pseudo-terminal flooded as fast as it goes must leave the resident memory
// flat, the excess dropped and reported.
//
// usage: bench_diag_backlog [paced-seconds (5)] [flood-seconds (10)]

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <thread>

#include "domain/Format.h"
#include "platform/PseudoTerminal.h"
#include "station/StationSession.h"
#include "support/ProcessFigures.h"

namespace {

using namespace orvalt;
using Clock = std::chrono::steady_clock;

constexpr std::int32_t kBaudRate = 4000000;
constexpr const char* kLine = "00000200 0000ABCD 00000001\r\n";  // 28 bytes, as a driver sends
constexpr double kLineSeconds = 28.0 * 10.0 / kBaudRate;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Mb(std::size_t bytes) {
    return static_cast<double>(bytes) / 1e6;
}

// The number of lines a drop report stands for: 1, or 1 + its repeats.
long LinesIn(const std::string& report) {
    static const std::regex kRepeated(R"(\(repeated (\d+) times\))");
    if (report.find("queue full") == std::string::npos) {
        return 0;
    }
    std::smatch match;
    return std::regex_search(report, match, kRepeated) ? std::stol(match[1].str()) : 1;
}

// The runner's handler thread: handles every post as it comes.
class Handler {
  public:
    explicit Handler(StationSession& session) : session_(session), thread_([this] { Run(); }) {}
    ~Handler() {
        stop_ = true;
        thread_.join();
    }

    long Lines() const { return lines_; }
    long Reported() const { return reported_; }
    long Reports() const { return reports_; }

  private:
    void Run() {
        while (!stop_) {
            session_.HandleNext(std::chrono::milliseconds(20),
                                [this](const PostedMessage& m) { Count(m); });
        }
    }
    void Count(const PostedMessage& message) {
        if (std::holds_alternative<DiagLineMessage>(message)) {
            ++lines_;
        } else if (const auto* error = std::get_if<LinkErrorMessage>(&message)) {
            ++reports_;
            reported_ += LinesIn(error->text);
        }
    }

    StationSession& session_;
    std::atomic<bool> stop_{false};
    std::atomic<long> lines_{0};
    std::atomic<long> reported_{0};
    std::atomic<long> reports_{0};
    std::thread thread_;
};

// Waits until the handler has seen `lines` lines or `reported` stops moving.
void Settle(const Handler& handler, long lines) {
    const auto limit = Clock::now() + std::chrono::seconds(5);
    while (handler.Lines() + handler.Reported() < lines && Clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // the last drop report
}

void RunPaced(StationSession& session, PseudoTerminal& pty, double seconds) {
    Handler handler(session);
    const auto lines = static_cast<long>(seconds / kLineSeconds);
    const auto start = Clock::now();
    for (long written = 0; written < lines;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto due =
            std::min(lines, static_cast<long>(Seconds(Clock::now() - start) / kLineSeconds));
        std::string batch;
        for (; written < due; ++written) {
            batch += kLine;
        }
        pty.Write(batch, 5000);
    }
    Settle(handler, lines);
    std::printf(
        "paced at %d baud: %ld lines in %.1f s (%.0f lines/s), handled %ld, dropped %ld "
        "(%ld reports)\n",
        kBaudRate, lines, Seconds(Clock::now() - start), 1.0 / kLineSeconds, handler.Lines(),
        handler.Reported(), handler.Reports());
}

void RunFlood(StationSession& session, PseudoTerminal& pty, double seconds) {
    Handler handler(session);
    std::string block;
    while (block.size() < 65536) {
        block += kLine;
    }
    const std::size_t before = MeasureProcess().residentBytes;
    std::size_t peak = before;
    std::size_t written = 0;
    const auto start = Clock::now();
    for (auto sampled = start; Clock::now() - start < std::chrono::duration<double>(seconds);) {
        written += pty.Write(block, 1000).written;
        if (Clock::now() - sampled > std::chrono::milliseconds(250)) {
            sampled = Clock::now();
            peak = std::max(peak, MeasureProcess().residentBytes);
        }
    }
    const double elapsed = Seconds(Clock::now() - start);
    const long lines = static_cast<long>(written / 28);
    Settle(handler, lines);
    std::printf(
        "flood: %.1f MB in %.1f s = %.1f MB/s, %ld lines; handled %ld, dropped %ld "
        "(%ld reports)\n",
        Mb(written), elapsed, Mb(written) / elapsed, lines, handler.Lines(), handler.Reported(),
        handler.Reports());
    std::printf(
        "resident memory: %.1f MB before, %.1f MB at most during the flood, %.1f MB "
        "after\n",
        Mb(before), Mb(peak), Mb(MeasureProcess().residentBytes));
}

}  // namespace

int main(int argc, char** argv) {
    const double paced = argc > 1 ? std::atof(argv[1]) : 5.0;
    const double flood = argc > 2 ? std::atof(argv[2]) : 10.0;
    auto pty = PseudoTerminal::Open();
    StationSession session(SessionOptions{StationOptions{true, false, UnitProfile{}, {}}, {}});
    if (!pty || !session.OpenLink(pty->SlavePath(), kBaudRate)) {
        std::fprintf(stderr, "cannot open the link: %s\n", session.Status().linkOpenError.c_str());
        return 1;
    }
    std::printf("bound: %zu lines or %zu bytes waiting\n", DiagBacklogLimit{}.lines,
                DiagBacklogLimit{}.bytes);
    RunPaced(session, *pty, paced);
    RunFlood(session, *pty, flood);
    session.CloseDiagnostics();
    return 0;
}
