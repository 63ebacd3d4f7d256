// What recording costs the thread that measures: the time each reading takes
// to hand over to the recorder (median, 99th percentile, worst), with the
// writer storing into SQLite and, where the server can be started, PostgreSQL.
// A hand-over during which the scheduler preempted the thread measures the
// machine's load, not the recorder: the worst is also given without those,
// and the hand-overs that waited of their own accord are counted. A reading's
// hand-over takes no lock, so one that waited slept for something else (a
// page read from disk, memory the system had to find).
//
// usage: bench_records_overhead [READINGS]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "RecordsBench.h"
#include "domain/SessionObservers.h"
#include "platform/ThreadSwitches.h"
#include "recording/RunRecorder.h"
#include "station/RunRecording.h"
#include "support/PgCluster.h"
#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

// One hand-over's time and whether the thread gave up the processor in it.
struct HandOver {
    double us = 0.0;
    bool preempted = false;
    bool waited = false;
    bool faulted = false;  // touched a page the system had to map first
};

template <class Work>
HandOver TimeHandOver(Work&& work) {
    const orvalt::ThreadSwitches before = orvalt::ThreadContextSwitches();
    const auto start = Clock::now();
    work();
    const auto end = Clock::now();
    const orvalt::ThreadSwitches after = orvalt::ThreadContextSwitches();
    return {std::chrono::duration<double, std::micro>(end - start).count(),
            after.involuntary != before.involuntary, after.voluntary != before.voluntary,
            after.pageFaults != before.pageFaults};
}

std::string WorstFigures(const std::vector<HandOver>& handOvers) {
    double worst = 0.0, worstUnpreempted = 0.0;
    long preempted = 0, waited = 0, overMs = 0, overMsUnpreempted = 0, overMsWaited = 0;
    long overMsFaulted = 0;
    for (const HandOver& h : handOvers) {
        worst = std::max(worst, h.us);
        if (!h.preempted)
            worstUnpreempted = std::max(worstUnpreempted, h.us);
        preempted += h.preempted ? 1 : 0;
        waited += h.waited ? 1 : 0;
        overMs += h.us > 1000.0 ? 1 : 0;
        overMsUnpreempted += h.us > 1000.0 && !h.preempted ? 1 : 0;
        overMsWaited += h.us > 1000.0 && !h.preempted && h.waited ? 1 : 0;
        overMsFaulted += h.us > 1000.0 && !h.preempted && h.faulted ? 1 : 0;
    }
    char text[280];
    std::snprintf(text, sizeof text,
                  "max %.1f us  max not preempted %.1f us (%ld preempted, %ld waited)"
                  "  over 1 ms: %ld (%ld not preempted, %ld of those waited, %ld faulted)",
                  worst, worstUnpreempted, preempted, waited, overMs, overMsUnpreempted,
                  overMsWaited, overMsFaulted);
    return text;
}

// Hands `readings` readings to `handOver`, paced as a fast sampling loop, and
// times each.
template <class HandOverReading>
std::vector<HandOver> TimeReadings(int readings, HandOverReading&& handOver) {
    std::vector<HandOver> handOvers;
    handOvers.reserve(static_cast<std::size_t>(readings));
    for (int i = 0; i < readings; ++i) {
        handOvers.push_back(TimeHandOver([&] { handOver(i); }));
        // A sampling loop reads about every millisecond; burst a little faster.
        if (i % 64 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return handOvers;
}

void PrintFigures(const char* name, int readings, std::vector<HandOver> handOvers,
                  const std::string& after) {
    const std::string worst = WorstFigures(handOvers);
    std::vector<double> us;
    us.reserve(handOvers.size());
    for (const HandOver& h : handOvers)
        us.push_back(h.us);
    std::sort(us.begin(), us.end());
    std::printf("%-10s readings %d  hand-over median %.2f us  p99 %.2f us  %s%s\n", name, readings,
                us[us.size() / 2], us[us.size() * 99 / 100], worst.c_str(), after.c_str());
}

// The same loop handing over nothing: what the machine alone costs the
// measuring thread (a virtual machine's host taking the processor back shows
// as a stall that the thread's own switch counts do not see).
void MeasureMachine(int readings) {
    volatile int sink = 0;
    PrintFigures("nothing", readings, TimeReadings(readings, [&](int i) { sink = i; }), "");
}

void Measure(const char* name, const std::string& target, const orvalt::test::TempFolder& folder,
             int readings) {
    std::vector<HandOver> handOvers;
    std::uint64_t sparesMade = 0;
    const auto wallStart = Clock::now();
    {
        orvalt::RunRecorder recorder(
            {target, folder / "spool.sqlite", std::chrono::seconds(2), {}});
        orvalt::RunStart run;
        run.planName = "bench";
        recorder.BeginRun(run);
        recorder.BeginTest({0, {}, "cycle", {}});
        recorder.RecordSwitch(0, 4, true);
        handOvers = TimeReadings(readings, [&](int i) {
            recorder.RecordReading(static_cast<std::uint32_t>(i), 1.0 + (i % 400) * 0.01,
                                   "Reading voltage");
        });
        sparesMade = recorder.Backlog().sparesMadeByHandOvers;
        recorder.EndTest({});
        recorder.EndRun({});
    }
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
    char after[96];
    std::snprintf(after, sizeof after,
                  "  spares made by hand-overs %llu  wall incl. final write %.2f s",
                  static_cast<unsigned long long>(sparesMade), wall);
    PrintFigures(name, readings, std::move(handOvers), after);
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
        orvalt::RunRecording recording(recorder);
        orvalt::SessionObservers observers;
        observers.Attach(recording);
        observers.Tell([](orvalt::SessionObserver& o) { o.RunStarted(1); });
        observers.Tell([](orvalt::SessionObserver& o) { o.TestStarted({1, 0}); });
        observers.Tell([](orvalt::SessionObserver& o) { o.PowerSwitched({{0, 0}, 1, true}); });
        for (int i = 0; i < readings; ++i) {
            const orvalt::VoltageReading reading{
                {static_cast<std::uint32_t>(i), i}, 1.0 + (i % 400) * 0.01, "Reading voltage"};
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
    MeasureMachine(readings);
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
