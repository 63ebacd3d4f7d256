// Real-clock timing of run control: how far TimedWait(250) overshoots, and how
// long Stop takes from the press to the worker's end.
//
// usage: bench_run_control [WAITS] [STOPS]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include "domain/MessageQueue.h"
#include "execution/Primitives.h"
#include "execution/RunControl.h"
#include "sim/SimulatedU3.h"
#include "sim/SimulatedUnit.h"

namespace {

using Ms = std::chrono::duration<double, std::milli>;

void Print(const char* what, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::printf("%s over %zu: median %.3f ms, worst %.3f ms\n", what, values.size(),
                values[values.size() / 2], values.back());
}

std::vector<double> TimedWaitOvershoot(int waits) {
    orvalt::RealClock clock;
    orvalt::RunFlag runFlag;
    runFlag.Raise();
    orvalt::RunRecord run;
    run.runFlag = &runFlag;
    run.io.clock = &clock;
    std::vector<double> overshoot;
    for (int i = 0; i < waits; ++i) {
        const auto start = std::chrono::steady_clock::now();
        orvalt::TimedWait(run, 0, 250, "");
        overshoot.push_back(Ms(std::chrono::steady_clock::now() - start).count() - 250.0);
    }
    return overshoot;
}

// Starts a run of on/off tests on the real-time simulator, lets it go for a
// random moment, presses Stop and times StopTestRun (which returns once the
// worker has ended).
std::vector<double> StopLatency(int stops) {
    orvalt::SettingsRecord settings;
    orvalt::SimulatedUnit unit{orvalt::UnitProfile{}};
    orvalt::RealClock clock;
    orvalt::SimulatedU3 device{unit, clock};
    orvalt::MessageQueue queue;
    orvalt::WindowModel model;
    orvalt::RunState runState;
    orvalt::DiagTable diagTable;
    orvalt::SummaryLines summary;
    std::int32_t marker = 1;
    orvalt::TestPlan plan{{orvalt::TestPlanEntry{0, 5000, 5000, 2000, 5000, 100000, 0}}};
    orvalt::RunControl control(
        model, orvalt::StationIo{&device, &clock, &settings, &diagTable, &summary, &marker},
        runState, queue.MakeTarget(), orvalt::RunControlHooks{[] { return true; }, {}});
    control.SetTestPlan(&plan);
    model.ReplaceRows(std::vector<orvalt::TestRowTexts>(1));
    std::mt19937 random(7);
    std::vector<double> latency;
    for (int i = 0; i < stops; ++i) {
        control.OnStartStop();
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 300));
        const auto start = std::chrono::steady_clock::now();
        control.StopTestRun();
        latency.push_back(Ms(std::chrono::steady_clock::now() - start).count());
        while (queue.TryPop())
            queue.DoneHandling();
    }
    return latency;
}

}  // namespace

int main(int argc, char** argv) {
    const int waits = argc > 1 ? std::atoi(argv[1]) : 200;
    const int stops = argc > 2 ? std::atoi(argv[2]) : 50;
    Print("TimedWait(250) overshoot", TimedWaitOvershoot(waits));
    Print("Stop to worker end", StopLatency(stops));
    return 0;
}
