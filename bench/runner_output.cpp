// The headless runner's throughput now that it writes every line out as it
// happens (one flush a line): a driver floods the diagnostic port (a
// pseudo-terminal) as fast as the line takes it while a real-time run on the
// simulator goes on with Extra Log, so the runner decodes every line and echoes
// it as a ">>Diag:" line to its output, a pipe that a reader drains. Prints the
// echoed lines a second as the reader saw them arrive, and then how long Stop
// takes while the flood goes on (it must end the run within a second).
//
// usage: bench_runner_output [LINES (300000)] [PLAN.csv (examples/TestCfg.csv)]

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>

#include "cli/CliOptions.h"
#include "cli/HeadlessRunner.h"
#include "platform/FdStreamBuf.h"
#include "platform/PseudoTerminal.h"

namespace {

using Clock = std::chrono::steady_clock;

// Counts the echoed diagnostic lines that reach the far end of the pipe, and
// when the first and the last of them came.
class EchoReader {
  public:
    explicit EchoReader(int fd) : fd_(fd), thread_([this] { Read(); }) {}
    EchoReader(const EchoReader&) = delete;
    EchoReader& operator=(const EchoReader&) = delete;
    std::size_t Echoes() const { return echoes_; }
    // The echoes a second, once the writing end is closed.
    double FinishRate() {
        thread_.join();
        return echoes_ / std::chrono::duration<double>(last_ - first_).count();
    }

  private:
    void Read() {
        std::string pending;
        char buffer[1 << 16];
        ssize_t count = 0;
        while ((count = ::read(fd_, buffer, sizeof buffer)) > 0) {
            pending.append(buffer, static_cast<std::size_t>(count));
            CountLines(pending);
        }
    }
    void CountLines(std::string& pending) {
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos;
             start = end + 1) {
            if (pending.compare(start, 7, ">>Diag:") == 0) {
                last_ = Clock::now();
                first_ = echoes_ == 0 ? last_ : first_;
                ++echoes_;
            }
        }
        pending.erase(0, start);
    }
    int fd_;
    std::atomic<std::size_t> echoes_{0};
    Clock::time_point first_, last_;
    std::thread thread_;
};

// Writes `lines` diagnostic lines into the port as fast as it takes them,
// after a first one shows that the runner listens.
void Flood(orvalt::PseudoTerminal& port, const EchoReader& reader, std::size_t lines,
           const std::atomic<bool>& endless) {
    while (reader.Echoes() == 0) {
        port.Write("200 1 2\r\n", 100);
    }
    const std::string block = [] {
        std::string text;
        for (int i = 0; i < 1000; ++i) {
            text += "200 1 2\r\n";
        }
        return text;
    }();
    for (std::size_t written = 0; written < lines || endless; written += 1000) {
        port.Write(block, 200);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t lines = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 300000;
    const std::string plan = argc > 2 ? argv[2] : "examples/TestCfg.csv";
    const auto folder = std::filesystem::temp_directory_path() / "orvalt-bench-output";
    std::filesystem::create_directories(folder);
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);  // default settings, never the user's
    ::setenv("XDG_DATA_HOME", folder.c_str(), 1);    // run records, never the user's
    auto port = orvalt::PseudoTerminal::Open();
    int fds[2];
    if (!port || ::pipe(fds) != 0) {
        std::fprintf(stderr, "no pseudo-terminal or pipe\n");
        return 2;
    }
    const auto parsed = orvalt::ParseCliOptions(
        {"--simulate", "--extra-log", "--no-record", "--diag", port->SlavePath(), plan});
    if (!parsed.options) {
        std::fprintf(stderr, "%s\n", parsed.error.c_str());
        return 2;
    }
    EchoReader reader(fds[0]);
    orvalt::StopRequest stop;
    std::thread runner([&] {
        orvalt::FdStreamBuf buffer(
            fds[1], [](int error) { std::fprintf(stderr, "output failed: %d\n", error); });
        std::ostream out(&buffer);
        std::ostringstream err;
        orvalt::RunHeadless(*parsed.options, out, err, stop);
    });
    std::atomic<bool> endless{false};
    Flood(*port, reader, lines, endless);
    const auto settle = Clock::now() + std::chrono::seconds(30);
    while (reader.Echoes() < lines && Clock::now() < settle) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::size_t echoed = reader.Echoes();
    endless = true;
    std::thread flooder([&] { Flood(*port, reader, 0, endless); });
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const auto stopPressed = Clock::now();
    stop.Request();
    runner.join();
    const auto stopped = Clock::now();
    endless = false;
    flooder.join();
    ::close(fds[1]);
    const double rate = reader.FinishRate();
    ::close(fds[0]);
    std::printf("%zu of %zu flooded lines echoed through the runner: %.0f lines a second\n", echoed,
                lines, rate);
    std::printf("Stop under the flood ended the run in %.0f ms\n",
                std::chrono::duration<double, std::milli>(stopped - stopPressed).count());
    return 0;
}
