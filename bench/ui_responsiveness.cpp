// How quickly the operator window appears, and how long its event loop can be
// kept from running while a simulated run posts progress, the diagnostic link
// carries 500 lines a second (echoed to the log with Extra Log on), and then
// while a flood of diagnostic lines arrives at once. A 1 ms timer measures the
// gaps between its own ticks. Stopping the run (a bounded wait by design) is
// timed apart. Run it offscreen: QT_QPA_PLATFORM=offscreen orvalt_ui_bench

#include <sys/resource.h>
#include <unistd.h>
#include <QAbstractItemView>
#include <QApplication>
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

#include "WindowBench.h"
#include "domain/Format.h"
#include "platform/PseudoTerminal.h"
#include "station/StationSession.h"
#include "ui/AppIdentity.h"
#include "ui/COrvaltDlg.h"
#include "ui/ControlLookup.h"

namespace {

using orvalt::COrvaltDlg;
using namespace orvalt::bench;

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

}  // namespace

int main(int argc, char** argv) {
    const double atMain = SecondsSinceProcessStart();
    QApplication application(argc, argv);
    orvalt::PrepareApplication();
    BenchWindow bench;
    if (!bench.window) {
        return 1;
    }
    COrvaltDlg& window = *bench.window;
    double shown = 0.0;
    QTimer::singleShot(0, [&shown] { shown = SecondsSinceProcessStart(); });
    SpinUntil([&shown] { return shown > 0.0; }, 5000);
    std::printf("window shown %.0f ms after the process started (main entered at %.0f ms)\n",
                shown * 1000, atMain * 1000);

    StartRunWithDiagLines(window);

    GapMeter meter;
    meter.Start();
    int sent = 0;
    {
        LineFeeder feeder(*bench.pty, kRunSeconds, kLinesPerSecond);
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
    std::string floodLines;
    for (int i = 0; i < kFloodPosts; ++i) {
        floodLines += orvalt::Format("%x 3 %x\r\n", i, i % 4);
    }
    meter.Start();
    std::thread flood([&bench, &floodLines] { bench.pty->Write(floodLines, 60000); });
    const double absorbed = SpinUntil(
        [&] { return window.Model().LogLines().size() >= logBefore + kFloodPosts; }, 60000);
    flood.join();
    SpinFor(100);  // the views catch up
    meter.Stop();
    meter.Print("flood of diagnostic lines");
    std::printf("  %d lines handled in %.0f ms; the log view shows %d lines\n", kFloodPosts,
                absorbed,
                orvalt::FindControl<QAbstractItemView>(&window, 1006)->model()->rowCount());

    QElapsedTimer stopTime;
    stopTime.start();
    window.OnStartStop();
    std::printf("Stop (the bounded wait for the worker, not counted above): %lld ms\n",
                static_cast<long long>(stopTime.elapsed()));
    stopTime.restart();
    window.CloseWithoutAsking();  // a bench has nobody to answer the close questions
    std::printf("close sequence: %lld ms\n", static_cast<long long>(stopTime.elapsed()));
    return 0;
}
