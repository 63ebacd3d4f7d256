// What recording costs the thread that measures: the time each reading takes
// to hand over to the recorder (median and 99th percentile), with the writer
// storing into SQLite and, where the server can be started, PostgreSQL.
//
// usage: bench_records_overhead [READINGS]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "RecordsBench.h"
#include "domain/SessionObservers.h"
#include "platform/Clock.h"
#include "records/RunRecorder.h"
#include "station/RunRecording.h"
#include "support/PgCluster.h"
#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

void Measure(const char* name, const std::string& target, const orvalt::test::TempFolder& folder,
             int readings) {
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(readings));
    const auto wallStart = Clock::now();
    {
        orvalt::RunRecorder recorder(
            {target, folder / "spool.sqlite", std::chrono::seconds(2), {}});
        orvalt::RunStart run;
        run.planName = "bench";
        recorder.BeginRun(run);
        recorder.BeginTest({0, {}, "cycle", {}});
        recorder.RecordSwitch(0, 4, true);
        for (int i = 0; i < readings; ++i) {
            const auto start = Clock::now();
            recorder.RecordReading(static_cast<std::uint32_t>(i), 1.0 + (i % 400) * 0.01,
                                   "Reading voltage");
            us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            // A sampling loop reads about every millisecond; burst a little faster.
            if (i % 64 == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        recorder.EndTest({});
        recorder.EndRun({});
    }
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
    std::sort(us.begin(), us.end());
    std::printf(
        "%-10s readings %d  hand-over median %.2f us  p99 %.2f us  max %.1f us  "
        "wall incl. final write %.2f s\n",
        name, readings, us[us.size() / 2], us[us.size() * 99 / 100], us.back(), wall);
}

// The same hand-over as the worker pays it: the session tells its observers
// of the reading, and the recording adapter hands it to the recorder.
void MeasureThroughSession(const std::string& target, const orvalt::test::TempFolder& folder,
                           int readings) {
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(readings));
    {
        orvalt::RunRecorder recorder(
            {target, folder / "spool-session.sqlite", std::chrono::seconds(2), {}});
        orvalt::RealClock clock;
        orvalt::RunRecording recording(recorder, clock);
        orvalt::SessionObservers observers;
        observers.Attach(recording);
        observers.Tell([](orvalt::SessionObserver& o) { o.RunStarted(1); });
        observers.Tell([](orvalt::SessionObserver& o) { o.TestStarted({1, 0}); });
        observers.Tell([](orvalt::SessionObserver& o) { o.PowerSwitched({0.0, 1, true}); });
        for (int i = 0; i < readings; ++i) {
            const orvalt::VoltageReading reading{i * 0.001, 1.0 + (i % 400) * 0.01,
                                                 "Reading voltage"};
            const auto start = Clock::now();
            observers.Tell([&reading](orvalt::SessionObserver& o) { o.VoltageRead(reading); });
            us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            if (i % 64 == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        observers.Tell([](orvalt::SessionObserver& o) { o.RunEnded(1, orvalt::RunEnd::Stopped); });
        observers.Detach(recording);
    }
    std::sort(us.begin(), us.end());
    std::printf(
        "%-10s readings %d  through the session's observers: median %.2f us  p99 %.2f us"
        "  (target: median < 50 us)\n",
        "SQLite", readings, us[us.size() / 2], us[us.size() * 99 / 100]);
}

}  // namespace

int main(int argc, char** argv) {
    const int readings = argc > 1 ? std::atoi(argv[1]) : 100000;
    orvalt::test::TempFolder folder;
    Measure("SQLite", (folder / "results.sqlite").string(), folder, readings);
    MeasureThroughSession((folder / "session.sqlite").string(), folder, readings);
    if (!orvalt::test::PostgresInstalled()) {
        std::printf("PostgreSQL  not installed: skipped\n");
        return 0;
    }
    orvalt::test::PgCluster cluster;
    if (!cluster.Ready()) {
        std::printf("PostgreSQL  %s: skipped\n", cluster.Problem().c_str());
        return 0;
    }
    Measure("PostgreSQL", cluster.Url(), folder, readings);
    return 0;
}
