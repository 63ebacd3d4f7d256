#pragma once
// What the window's benchmarks share: a meter of the event loop's gaps, ways
// to run the loop for a while, a feeder of diagnostic lines at a steady rate,
// a plan of quick on/off tests that keeps a run posting, and the start of
// such a run with the diagnostic link open on the bench's line.

#include <sys/resource.h>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include <QCheckBox>
#include <QComboBox>

#include "domain/Format.h"
#include "platform/PseudoTerminal.h"
#include "station/StationSession.h"
#include "ui/COrvaltDlg.h"
#include "ui/ControlLookup.h"

namespace orvalt::bench {

using Clock = std::chrono::steady_clock;

// The calling thread's CPU time, and how often it was switched out: by the
// scheduler (involuntary) or because it waited (voluntary).
struct ThreadUsage {
    double cpuMs = 0.0;
    long preempted = 0;
    long waited = 0;
};

inline ThreadUsage ThreadUsageNow() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return ThreadUsage{
        static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3,
        usage.ru_nivcsw, usage.ru_nvcsw};
}

// The gaps between the ticks of a 1 ms timer: how long the loop was kept from
// running. The window thread's own CPU time in the longest gap tells work done
// by the window from time the machine gave to other processes.
class GapMeter {
  public:
    GapMeter() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    }
    void Start() {
        gapsMs_.clear();
        longestMs_ = 0.0;
        longest_ = {};
        last_ = Clock::now();
        started_ = last_;
        lastUsage_ = ThreadUsageNow();
        timer_.start();
    }
    void Stop() { timer_.stop(); }
    void Print(const char* phase) {
        std::vector<double> sorted = gapsMs_;
        std::sort(sorted.begin(), sorted.end());
        const auto at = [&sorted](double q) {
            return sorted.empty() ? 0.0 : sorted[static_cast<std::size_t>(q * (sorted.size() - 1))];
        };
        const auto over = [&sorted](double ms) {
            return std::count_if(sorted.begin(), sorted.end(), [ms](double g) { return g > ms; });
        };
        std::printf(
            "%s: %zu ticks, gap median %.2f ms, p99 %.2f ms, p99.9 %.2f ms, longest %.2f ms, "
            "%ld gaps over 16 ms, %ld over 50 ms;\n  the longest gap ended %.0f ms into the phase; "
            "in it the window thread used %.1f ms of CPU, was preempted %ld times and waited %ld "
            "times\n",
            phase, sorted.size(), at(0.5), at(0.99), at(0.999),
            sorted.empty() ? 0.0 : sorted.back(), static_cast<long>(over(16)),
            static_cast<long>(over(50)), longestAtMs_, longest_.cpuMs, longest_.preempted,
            longest_.waited);
    }

  private:
    void Tick() {
        const auto now = Clock::now();
        const ThreadUsage usage = ThreadUsageNow();
        const double gapMs = std::chrono::duration<double, std::milli>(now - last_).count();
        if (gapMs > longestMs_ || gapsMs_.empty()) {
            longestMs_ = gapMs;
            longestAtMs_ = std::chrono::duration<double, std::milli>(now - started_).count();
            longest_ =
                ThreadUsage{usage.cpuMs - lastUsage_.cpuMs, usage.preempted - lastUsage_.preempted,
                            usage.waited - lastUsage_.waited};
        }
        gapsMs_.push_back(gapMs);
        last_ = now;
        lastUsage_ = usage;
    }

    QTimer timer_;
    Clock::time_point last_;
    ThreadUsage lastUsage_;
    ThreadUsage longest_;
    double longestMs_ = 0.0;
    double longestAtMs_ = 0.0;
    Clock::time_point started_;
    std::vector<double> gapsMs_;
};

inline void SpinFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop (sleeping while idle) until `done` holds; the time taken.
template <class Done>
double SpinUntil(Done done, int limitMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done() || elapsed.elapsed() >= limitMs) {
            loop.quit();
        }
    });
    poll.start();
    if (!done()) {
        loop.exec();
    }
    return static_cast<double>(elapsed.nsecsElapsed()) / 1e6;
}

// Writes numbered diagnostic lines into the line at a steady rate.
class LineFeeder {
  public:
    LineFeeder(orvalt::PseudoTerminal& pty, int seconds, int linesPerSecond = 500)
        : linesPerSecond_(linesPerSecond), thread_([this, &pty, seconds] { Feed(pty, seconds); }) {}
    ~LineFeeder() { thread_.join(); }
    int Sent() const { return sent_; }
    bool Done() const { return done_; }

  private:
    void Feed(orvalt::PseudoTerminal& pty, int seconds) {
        const auto period = std::chrono::microseconds(1000000 / linesPerSecond_);
        auto due = Clock::now();
        for (int i = 0; i < seconds * linesPerSecond_; ++i) {
            std::this_thread::sleep_until(due += period);
            pty.Write(orvalt::Format("%x 2 %x\r\n", i, i % 4), 0);
            ++sent_;
        }
        done_ = true;
    }

    int linesPerSecond_;
    std::atomic<int> sent_{0};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

inline std::filesystem::path WriteBenchPlan() {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "orvalt-ui-bench.csv";
    std::ofstream out(file, std::ios::binary);
    out << "bench plan\r\nLabel,T1,T2,T3,T4,P5,P6\r\n";
    for (int i = 0; i < 20; ++i) {
        out << "On/off " << i << ",0,0.05,0.05,0,5000,20\r\n";
    }
    return file;
}

// The window on the simulated station in real time, with a pseudo-terminal
// listed as "bench line" for the diagnostic link. Without a pseudo-terminal
// there is no window.
struct BenchWindow {
    BenchWindow() {
        if (!pty) {
            std::cerr << "no pseudo-terminal\n";
            return;
        }
        window = std::make_unique<orvalt::COrvaltDlg>(
            session,
            std::vector<orvalt::DiagPort>{orvalt::DiagPort{pty->SlavePath(), "bench line", 0}});
        window->messageBox = [](const std::string& text) {
            std::cerr << "message: " << text << '\n';
        };
        window->show();
    }

    orvalt::StationSession session{
        orvalt::SessionOptions{orvalt::StationOptions{true, false, {}}, {}}};
    std::optional<orvalt::PseudoTerminal> pty = orvalt::PseudoTerminal::Open();
    std::unique_ptr<orvalt::COrvaltDlg> window;
};

// Opens the link on the port listed as "bench line", turns Extra Log on (so
// every diagnostic line reaches the log too), loads the bench plan and starts.
inline void StartRunWithDiagLines(orvalt::COrvaltDlg& window) {
    auto* ports = orvalt::FindControl<QComboBox>(&window, 1020);
    ports->setCurrentIndex(ports->findText("bench line"));
    window.OnDiagOpen();
    orvalt::FindControl<QCheckBox>(&window, 1007)->setChecked(true);
    window.LoadTestPlanFrom(WriteBenchPlan());
    window.OnStartStop();
}

}  // namespace orvalt::bench
