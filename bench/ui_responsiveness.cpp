// How quickly the operator window appears, and how long its event loop can be
// kept from running while a simulated run posts progress, the diagnostic link
// carries 500 lines a second (echoed to the log with Extra Log on), and then
// while a flood of progress posts arrives at once. A 1 ms timer measures the
// gaps between its own ticks. Stopping the run (a bounded wait by design) is
// timed apart. Run it offscreen: QT_QPA_PLATFORM=offscreen orvalt_ui_bench

#include <sys/resource.h>
#include <unistd.h>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>
#include <vector>

#include "domain/Format.h"
#include "platform/PseudoTerminal.h"
#include "station/StationSession.h"
#include "ui/AppIdentity.h"
#include "ui/COrvaltDlg.h"
#include "ui/ControlLookup.h"

namespace {

using Clock = std::chrono::steady_clock;
using orvalt::COrvaltDlg;

constexpr int kLinesPerSecond = 500;
constexpr int kRunSeconds = 10;
constexpr int kFloodPosts = 50000;

// Seconds since the kernel started this process (10 ms resolution).
double SecondsSinceProcessStart() {
    std::ifstream statFile("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), {});
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double started = std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9 - started;
}

// The calling thread's CPU time, and how often it was switched out: by the
// scheduler (involuntary) or because it waited (voluntary).
struct ThreadUsage {
    double cpuMs = 0.0;
    long preempted = 0;
    long waited = 0;
};

ThreadUsage ThreadUsageNow() {
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

void SpinFor(int ms) {
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
    LineFeeder(orvalt::PseudoTerminal& pty, int seconds)
        : thread_([this, &pty, seconds] { Feed(pty, seconds); }) {}
    ~LineFeeder() { thread_.join(); }
    int Sent() const { return sent_; }
    bool Done() const { return done_; }

  private:
    void Feed(orvalt::PseudoTerminal& pty, int seconds) {
        const auto period = std::chrono::microseconds(1000000 / kLinesPerSecond);
        auto due = Clock::now();
        for (int i = 0; i < seconds * kLinesPerSecond; ++i) {
            std::this_thread::sleep_until(due += period);
            pty.Write(orvalt::Format("%x 2 %x\r\n", i, i % 4), 0);
            ++sent_;
        }
        done_ = true;
    }

    std::atomic<int> sent_{0};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

std::filesystem::path WriteBenchPlan() {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "orvalt-ui-bench.csv";
    std::ofstream out(file, std::ios::binary);
    out << "bench plan\r\nLabel,T1,T2,T3,T4,P5,P6\r\n";
    for (int i = 0; i < 20; ++i) {
        out << "On/off " << i << ",0,0.05,0.05,0,5000,20\r\n";
    }
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    const double atMain = SecondsSinceProcessStart();
    QApplication application(argc, argv);
    orvalt::PrepareApplication();
    orvalt::StationSession session(
        orvalt::SessionOptions{orvalt::StationOptions{true, false, {}}, {}, orvalt::NoRecording()});
    auto pty = orvalt::PseudoTerminal::Open();
    if (!pty) {
        std::cerr << "no pseudo-terminal\n";
        return 1;
    }
    COrvaltDlg window(session, {orvalt::DiagPort{pty->SlavePath(), "bench line", 0}});
    window.messageBox = [](const std::string& text) { std::cerr << "message: " << text << '\n'; };
    window.show();
    double shown = 0.0;
    QTimer::singleShot(0, [&shown] { shown = SecondsSinceProcessStart(); });
    SpinUntil([&shown] { return shown > 0.0; }, 5000);
    std::printf("window shown %.0f ms after the process started (main entered at %.0f ms)\n",
                shown * 1000, atMain * 1000);

    auto* ports = orvalt::FindControl<QComboBox>(&window, 1020);
    ports->setCurrentIndex(ports->findText("bench line"));
    window.OnDiagOpen();
    orvalt::FindControl<QCheckBox>(&window, 1007)->setChecked(true);
    window.LoadTestPlanFrom(WriteBenchPlan());
    window.OnStartStop();

    GapMeter meter;
    meter.Start();
    int sent = 0;
    {
        LineFeeder feeder(*pty, kRunSeconds);
        // The loop keeps running until the feeder has ended: its join never
        // holds the window up.
        SpinUntil([&feeder] { return feeder.Done(); }, kRunSeconds * 2000);
        sent = feeder.Sent();
    }
    SpinFor(200);
    meter.Stop();
    meter.Print("run + 500 diagnostic lines/s");
    std::printf("  diagnostic lines sent %d, rows shown %zu (of 400 kept), log lines %zu\n", sent,
                window.Diag().rows.size(), window.Model().LogLines().size());

    const std::size_t logBefore = window.Model().LogLines().size();
    meter.Start();
    std::thread flood([handle = window.Handle()] {
        for (int i = 0; i < kFloodPosts; ++i) {
            handle->Post(orvalt::ProgressMessage{orvalt::ProgressLog, 0,
                                                 orvalt::Format("flood line %d", i)});
        }
    });
    const double absorbed = SpinUntil(
        [&] { return window.Model().LogLines().size() >= logBefore + kFloodPosts; }, 60000);
    flood.join();
    SpinFor(100);  // the views catch up
    meter.Stop();
    meter.Print("flood of progress posts");
    std::printf("  %d posts handled in %.0f ms; the log view shows %d lines\n", kFloodPosts,
                absorbed,
                orvalt::FindControl<QAbstractItemView>(&window, 1006)->model()->rowCount());

    QElapsedTimer stopTime;
    stopTime.start();
    window.OnStartStop();
    std::printf("Stop (the bounded wait for the worker, not counted above): %lld ms\n",
                static_cast<long long>(stopTime.elapsed()));
    stopTime.restart();
    window.reject();
    std::printf("close sequence: %lld ms\n", static_cast<long long>(stopTime.elapsed()));
    return 0;
}
