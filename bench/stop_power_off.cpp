// Stop to power off on the real-time simulator: an on/off test whose unit
// stays powered for a minute, Stop at a random moment while the unit is
// powered, and the moment the simulated unit loses power marked by the device
// itself (the write that cuts line 4). Two ways to stop: the Stop button
// pressed on the handler thread, and SIGINT raised on another thread while
// the handler thread sleeps as the headless runner's does (woken by the
// signal's request).
//
// usage: bench_stop_power_off [TRIALS]

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "platform/ProcessSignals.h"
#include "platform/StopRequestWatcher.h"
#include "station/StationSession.h"

namespace {

using Steady = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

// Stands in front of the simulated U3 and notes when a write leaves the unit
// without power.
class PowerLossMark final : public orvalt::Daq {
  public:
    explicit PowerLossMark(orvalt::Daq& inner) : inner_(inner) {}

    orvalt::LJ_ERROR Open(std::string_view serial, orvalt::LJ_HANDLE* handle) override {
        return inner_.Open(serial, handle);
    }
    orvalt::LJ_ERROR ReadLightLevel(orvalt::LJ_HANDLE handle, double* volts) override {
        return inner_.ReadLightLevel(handle, volts);
    }
    orvalt::LJ_ERROR SwitchPower(orvalt::LJ_HANDLE handle, std::int32_t state) override {
        const orvalt::LJ_ERROR error = inner_.SwitchPower(handle, state);
        powered_ = state != 0;
        if (!powered_) {
            lostAt_ = Steady::now().time_since_epoch().count();
        }
        return error;
    }
    orvalt::LJ_ERROR SetMarker(orvalt::LJ_HANDLE handle, std::int32_t level) override {
        return inner_.SetMarker(handle, level);
    }
    orvalt::DaqIdentity Identity(orvalt::LJ_HANDLE handle) const override {
        return inner_.Identity(handle);
    }

    bool Powered() const { return powered_; }
    Steady::time_point LostAt() const { return Steady::time_point(Steady::duration(lostAt_)); }

  private:
    orvalt::Daq& inner_;
    std::atomic<bool> powered_{false};
    std::atomic<Steady::rep> lostAt_{0};
};

void Print(const char* what, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const auto under = std::count_if(values.begin(), values.end(), [](double v) { return v < 50; });
    std::printf("%s over %zu trials: median %.3f ms, worst %.3f ms, %ld under 50 ms\n", what,
                values.size(), values[values.size() / 2], values.back(), static_cast<long>(under));
}

void HandleFor(orvalt::StationSession& session, std::chrono::milliseconds span) {
    const auto until = Steady::now() + span;
    while (Steady::now() < until) {
        session.HandleNext(std::chrono::milliseconds(1));
    }
}

// One run: Start, wait until the unit is on and a random moment has passed,
// press Stop. The time from the press to the power loss.
double OneTrial(orvalt::StationSession& session, const PowerLossMark& mark, std::mt19937& random) {
    static_cast<void>(session.Start());
    while (!mark.Powered()) {
        session.HandleNext(std::chrono::milliseconds(1));
    }
    HandleFor(session, std::chrono::milliseconds(20 + random() % 480));
    const auto pressed = Steady::now();
    session.Stop();
    while (mark.Powered()) {
        session.HandleNext(std::chrono::milliseconds(1));
    }
    session.HandlePending(orvalt::DiagLines::Count);
    return Ms(mark.LostAt() - pressed).count();
}

orvalt::StopRequest signalRequest;

// The operator's Ctrl-C: raised on a thread of its own at a random moment,
// while the handler thread sleeps until a message or a request comes.
double OneSignalTrial(orvalt::StationSession& session, const PowerLossMark& mark,
                      std::mt19937& random) {
    static_cast<void>(session.Start());
    while (!mark.Powered()) {
        session.HandleNext(std::chrono::milliseconds(1));
    }
    const auto delay = std::chrono::milliseconds(20 + random() % 480);
    Steady::time_point raised;
    std::thread operatorThread([&] {
        std::this_thread::sleep_for(delay);
        raised = Steady::now();
        std::raise(SIGINT);
    });
    {
        const orvalt::StopRequestWatcher watcher(signalRequest, [&] { session.WakeHandler(); });
        while (!signalRequest.Take()) {
            session.HandleNext(std::chrono::hours(1));
        }
        session.Stop();
    }
    operatorThread.join();
    while (mark.Powered()) {
        session.HandleNext(std::chrono::milliseconds(1));
    }
    session.HandlePending(orvalt::DiagLines::Count);
    return Ms(mark.LostAt() - raised).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int trials = argc > 1 ? std::atoi(argv[1]) : 100;
    PowerLossMark* mark = nullptr;
    orvalt::StationOptions station;
    station.simulate = true;
    station.wrapDevice = [&mark](orvalt::Daq& inner) {
        auto wrapper = std::make_unique<PowerLossMark>(inner);
        mark = wrapper.get();
        return wrapper;
    };
    orvalt::SessionOptions options{station, {}, {}};
    orvalt::StationSession session(options);
    orvalt::SessionFront front;
    front.runHooks = orvalt::RunControlHooks{[] { return true; }, {}};
    session.Attach(std::move(front));
    // Off for 50 ms, then on for a minute: Stop always meets the long wait.
    orvalt::TestPlan plan{{orvalt::TestPlanEntry{0, 50, 60000, 0, 0, 1000, 0}}};
    session.UsePlan(plan, std::vector<orvalt::TestRowTexts>(1));
    std::mt19937 random(11);
    std::vector<double> latency;
    for (int i = 0; i < trials; ++i) {
        latency.push_back(OneTrial(session, *mark, random));
    }
    Print("Stop button to unit power off", latency);
    orvalt::StopOnTerminationSignals(signalRequest);
    latency.clear();
    for (int i = 0; i < trials; ++i) {
        latency.push_back(OneSignalTrial(session, *mark, random));
    }
    Print("SIGINT to unit power off", latency);
    return 0;
}
