// A driver that never stops talking: diagnostic lines written into a
// pseudo-terminal at the full rate of a serial line, for the real-time soak
// (scripts/soak-realtime.sh), where orvalt-cli reads the far end with --diag.
// Every line carries its sequence number as its second field, so the receiver
// can tell exactly which lines it missed: "200 <seq> <seq mod 4>", in hex.
//
// usage: bench_diag_feeder [BAUD]   (115200; 10 bits a byte on the wire)
// Prints "port <device>" at once, then on SIGINT or SIGTERM what it wrote.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "domain/Format.h"
#include "platform/PseudoTerminal.h"

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) {
    stopRequested = 1;
}

// A write may wait this long for a reader to make room; longer, and the line is
// counted as cut (nobody is reading: the port is between two runs).
constexpr int kLineWaitMs = 200;
// Behind the line rate by more than this (the port was full), the pace starts
// afresh instead of catching up in a burst no serial line could carry.
constexpr auto kMaxLag = std::chrono::milliseconds(100);

struct Totals {
    std::uint64_t lines = 0;
    std::uint64_t bytes = 0;
    std::uint64_t cut = 0;
    Clock::duration stalled{};
};

}  // namespace

int main(int argc, char** argv) {
    const double baud = argc > 1 ? std::atof(argv[1]) : 115200.0;
    const double bytesPerSecond = baud / 10.0;
    auto pty = orvalt::PseudoTerminal::Open();
    if (!pty || bytesPerSecond <= 0.0) {
        std::fprintf(stderr, "no pseudo-terminal (or a bad baud rate)\n");
        return 2;
    }
    pty->ReleaseSlave();  // orvalt-cli, another process, reads the slave
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    std::printf("port %s\n", pty->SlavePath().c_str());
    std::fflush(stdout);

    Totals totals;
    const auto start = Clock::now();
    auto paceFrom = start;
    std::uint64_t pacedBytes = 0;
    while (!stopRequested) {
        const std::string line =
            orvalt::Format("200 %llx %llx\r\n", static_cast<unsigned long long>(totals.lines),
                           static_cast<unsigned long long>(totals.lines % 4));
        const auto before = Clock::now();
        const auto written = pty->Write(line, kLineWaitMs);
        if (const auto took = Clock::now() - before; took > std::chrono::milliseconds(5)) {
            totals.stalled += took;
        }
        totals.bytes += written.written;
        totals.cut += written.written == line.size() ? 0 : 1;
        ++totals.lines;
        pacedBytes += line.size();
        const auto due = paceFrom + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(pacedBytes / bytesPerSecond));
        if (Clock::now() - due > kMaxLag) {
            paceFrom = Clock::now();
            pacedBytes = 0;
        } else {
            std::this_thread::sleep_until(due);
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("written %llu lines (%llu bytes) in %.1f s: %.0f lines/s, %.0f bytes/s of %.0f\n",
                static_cast<unsigned long long>(totals.lines),
                static_cast<unsigned long long>(totals.bytes), seconds, totals.lines / seconds,
                totals.bytes / seconds, bytesPerSecond);
    std::printf("cut for want of a reader %llu, stalled %.1f s\n",
                static_cast<unsigned long long>(totals.cut),
                std::chrono::duration<double>(totals.stalled).count());
    return 0;
}
