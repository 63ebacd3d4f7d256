// How long the window's event loop can be kept from running while the light
// level plot is shown with a full trace (10 000 readings, and as many behind
// it), readings arrive at 100 a second, a simulated run posts its progress and
// the diagnostic link carries 500 lines a second (echoed to the log with Extra
// Log on). A 1 ms timer measures the gaps between its own ticks; the goal is
// no gap over 50 ms on a quiet machine. Also: the frames the plot drew and
// the cost of one frame. Run it offscreen:
//   QT_QPA_PLATFORM=offscreen orvalt_plot_bench

#include <QApplication>
#include <QElapsedTimer>
#include <cmath>
#include <iostream>

#include "WindowBench.h"
#include "station/StationSession.h"
#include "ui/AppIdentity.h"
#include "ui/COrvaltDlg.h"
#include "ui/LightPlotWidget.h"

namespace {

using namespace orvalt::bench;

constexpr int kReadingsPerSecond = 100;
constexpr int kLinesPerSecond = 500;
constexpr int kRunSeconds = 10;
constexpr int kTraceReadings = 10000;
constexpr int kFramesTimed = 50;

// A unit stepping through four levels, one reading every 10 ms of its time.
double LevelAt(int reading) {
    return 2.6 + 0.7 * ((reading / 100) % 4) + 0.02 * std::sin(reading * 0.7);
}

void FillTest(orvalt::LightPlotWidget& plot, int testNumber) {
    plot.BeginTest(testNumber);
    plot.AddSwitch(0, true);
    for (int i = 0; i < kTraceReadings; ++i) {
        plot.AddReading(i * 0.01, LevelAt(i));
    }
}

// Posts readings to the plot from its own thread at a steady rate, as the
// station's reading events would reach the window.
class ReadingFeeder {
  public:
    ReadingFeeder(orvalt::LightPlotWidget& plot, int seconds)
        : thread_([this, &plot, seconds] { Feed(plot, seconds); }) {}
    ~ReadingFeeder() { thread_.join(); }
    bool Done() const { return done_; }
    int Sent() const { return sent_; }

  private:
    void Feed(orvalt::LightPlotWidget& plot, int seconds) {
        const auto period = std::chrono::microseconds(1000000 / kReadingsPerSecond);
        auto due = Clock::now();
        for (int i = kTraceReadings; i < kTraceReadings + seconds * kReadingsPerSecond; ++i) {
            std::this_thread::sleep_until(due += period);
            QMetaObject::invokeMethod(
                &plot, [&plot, i] { plot.AddReading(i * 0.01, LevelAt(i)); }, Qt::QueuedConnection);
            ++sent_;
        }
        done_ = true;
    }

    std::atomic<int> sent_{0};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

double MsPerFrame(orvalt::LightPlotWidget& plot) {
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kFramesTimed; ++i) {
        plot.repaint();
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6 / kFramesTimed;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    orvalt::PrepareApplication();
    BenchWindow bench;
    if (!bench.window) {
        return 1;
    }
    orvalt::COrvaltDlg& window = *bench.window;
    const orvalt::SettingsRecord& settings = bench.session.Settings();
    orvalt::LightPlotWidget plot;
    plot.resize(900, 420);
    plot.show();
    plot.SetLevels({settings.voltageOn, settings.voltageOffA, settings.voltageOffB});
    plot.StartRun();
    SpinFor(100);
    std::printf("one frame of an empty plot at 900 x 420: %.2f ms\n", MsPerFrame(plot));
    FillTest(plot, 1);
    FillTest(plot, 2);
    SpinFor(100);
    std::printf("one frame of %d + %d readings at 900 x 420: %.2f ms\n", kTraceReadings,
                kTraceReadings, MsPerFrame(plot));

    StartRunWithDiagLines(window);

    GapMeter meter;
    meter.Start();
    const int framesBefore = plot.FramesDrawn();
    QElapsedTimer phase;
    phase.start();
    int readings = 0;
    int lines = 0;
    {
        LineFeeder lineFeeder(*bench.pty, kRunSeconds, kLinesPerSecond);
        ReadingFeeder readingFeeder(plot, kRunSeconds);
        SpinUntil([&] { return lineFeeder.Done() && readingFeeder.Done(); }, kRunSeconds * 2000);
        readings = readingFeeder.Sent();
        lines = lineFeeder.Sent();
    }
    SpinFor(200);
    const double seconds = static_cast<double>(phase.elapsed()) / 1000.0;
    meter.Stop();
    meter.Print("plot shown + 100 readings/s + run + 500 diagnostic lines/s");
    const int frames = plot.FramesDrawn() - framesBefore;
    std::printf(
        "  readings sent %d, in the plot %zu; diagnostic lines sent %d; plot frames %d "
        "(%.1f a second)\n",
        readings, plot.Model().Current().readings.size(), lines, frames, frames / seconds);
    window.OnStartStop();
    window.CloseWithoutAsking();  // a bench has nobody to answer the close questions
    return 0;
}
