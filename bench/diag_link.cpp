// How the diagnostic link carries lines from a pseudo-terminal to posted
// messages: throughput with zero loss (paced at the 115200-baud line rate and
// unpaced), latency from the write of a line's terminator to its post, and
// the link's CPU time while the line is idle.
//
// usage: bench_diag_link [idle-seconds (30)] [paced-seconds (5)] [unpaced-lines (200000)]

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "diaglink/CDiagCommPort.h"
#include "domain/Format.h"
#include "platform/PseudoTerminal.h"

namespace {

using namespace orvalt;
using Clock = std::chrono::steady_clock;

constexpr std::int32_t kBaudRate = 115200;
// A line as a driver sends it: three 8-digit fields and CR LF, 28 bytes.
std::string LineText(std::uint32_t sequence) {
    return Format("%08X %08X %08X\r\n", sequence, sequence * 7u, sequence % 4u);
}

// What the window would receive: the time each line's post arrived.
class Receiver {
  public:
    explicit Receiver(std::size_t expected) : arrivals_(expected) {}

    WindowHandle Target() {
        return std::make_shared<PostTarget>([this](PostedMessage&& m) { Take(m); });
    }

    bool WaitForAll(std::size_t count, std::chrono::seconds patience) {
        const auto until = Clock::now() + patience;
        while (Received() < count && Clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return Received() >= count;
    }

    std::size_t Received() const {
        std::scoped_lock lock(mutex_);
        return received_;
    }
    std::size_t OutOfOrder() const {
        std::scoped_lock lock(mutex_);
        return outOfOrder_;
    }
    Clock::time_point ArrivalOf(std::size_t sequence) const {
        std::scoped_lock lock(mutex_);
        return arrivals_[sequence];
    }

  private:
    void Take(const PostedMessage& message) {
        const auto now = Clock::now();
        const auto* line = std::get_if<DiagLineMessage>(&message);
        if (!line) {
            return;
        }
        const auto sequence = std::strtoul(line->line.bytes.substr(0, 8).c_str(), nullptr, 16);
        std::scoped_lock lock(mutex_);
        if (sequence >= arrivals_.size()) {
            return;
        }
        outOfOrder_ += sequence != received_ ? 1 : 0;
        arrivals_[sequence] = now;
        ++received_;
    }

    mutable std::mutex mutex_;
    std::vector<Clock::time_point> arrivals_;
    std::size_t received_ = 0;
    std::size_t outOfOrder_ = 0;
};

struct Link {
    PseudoTerminal pty;
    CDiagCommPort port{nullptr};
};

bool OpenLink(Link& link, const WindowHandle& target) {
    if (!link.port.OpenLink(target, link.pty.SlavePath(), kBaudRate)) {
        std::fprintf(stderr, "cannot open the link: %s\n", link.port.LastOpenError().c_str());
        return false;
    }
    return true;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

void RunPaced(Link& link, int seconds) {
    const double lineSeconds = static_cast<double>(LineText(0).size() * 10) / kBaudRate;
    const auto lines = static_cast<std::size_t>(seconds / lineSeconds);
    Receiver receiver(lines);
    if (!OpenLink(link, receiver.Target())) {
        return;
    }
    std::vector<Clock::time_point> written(lines);
    const auto start = Clock::now();
    for (std::size_t i = 0; i < lines; ++i) {
        std::this_thread::sleep_until(
            start + std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(static_cast<double>(i) * lineSeconds)));
        written[i] = Clock::now();
        link.pty.Write(LineText(static_cast<std::uint32_t>(i)), 5000);
    }
    receiver.WaitForAll(lines, std::chrono::seconds(10));
    link.port.CloseLink();
    std::vector<double> latencies;
    for (std::size_t i = 0; i < receiver.Received() && i < lines; ++i) {
        latencies.push_back(Ms(receiver.ArrivalOf(i) - written[i]));
    }
    std::printf(
        "paced at %d baud: %zu lines in %.1f s = %.1f lines/s, lost %zu, out of order %zu\n",
        kBaudRate, lines, Ms(Clock::now() - start) / 1000.0, 1.0 / lineSeconds,
        lines - receiver.Received(), receiver.OutOfOrder());
    std::printf("latency terminator written -> posted: median %.3f ms, p99 %.3f ms, max %.3f ms\n",
                Percentile(latencies, 0.5), Percentile(latencies, 0.99),
                Percentile(latencies, 1.0));
}

void RunUnpaced(Link& link, std::size_t lines) {
    Receiver receiver(lines);
    if (!OpenLink(link, receiver.Target())) {
        return;
    }
    std::string bytes;
    for (std::size_t i = 0; i < lines; ++i) {
        bytes += LineText(static_cast<std::uint32_t>(i));
    }
    const auto start = Clock::now();
    link.pty.Write(bytes, 60000);
    receiver.WaitForAll(lines, std::chrono::seconds(60));
    const double seconds = Ms(Clock::now() - start) / 1000.0;
    link.port.CloseLink();
    std::printf(
        "unpaced: %zu lines (%.1f MB) in %.3f s = %.0f lines/s, lost %zu, out of order %zu\n",
        lines, static_cast<double>(bytes.size()) / 1e6, seconds,
        static_cast<double>(receiver.Received()) / seconds, lines - receiver.Received(),
        receiver.OutOfOrder());
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void RunIdle(Link& link, int seconds) {
    Receiver receiver(0);
    if (!OpenLink(link, receiver.Target())) {
        return;
    }
    const double before = ProcessCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double used = ProcessCpuSeconds() - before;
    link.port.CloseLink();
    std::printf("idle for %d s: link CPU time %.3f ms = %.4f %% of one core\n", seconds,
                used * 1000.0, used / seconds * 100.0);
}

int Argument(int argc, char** argv, int index, int fallback) {
    return argc > index ? std::max(1, std::atoi(argv[index])) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    const int idleSeconds = Argument(argc, argv, 1, 30);
    const int pacedSeconds = Argument(argc, argv, 2, 5);
    const auto unpacedLines = static_cast<std::size_t>(Argument(argc, argv, 3, 200000));
    auto pty = PseudoTerminal::Open();
    if (!pty) {
        std::perror("no pseudo-terminal");
        return 1;
    }
    Link link{std::move(*pty)};
    RunPaced(link, pacedSeconds);
    RunUnpaced(link, unpacedLines);
    RunIdle(link, idleSeconds);
    return 0;
}
