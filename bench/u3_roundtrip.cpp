// Time of one eGet (an AIN Feedback exchange) through the whole U3 stack:
// frame building, checksums, the transport, the reply checks and the
// calibration, against the simulated U3. It measures the station's own share
// of a reading; on real hardware the USB round trip adds about 1 ms behind a
// high-speed hub and about 4 ms direct.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "u3/LabJackU3Daq.h"
#include "support/SimulatedU3Usb.h"

namespace {

double Percentile(std::vector<double>& sorted, double fraction) {
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1));
    return sorted[index];
}

}  // namespace

int main() {
    using namespace orvalt;
    using Clock = std::chrono::steady_clock;
    constexpr int kWarmUp = 1000;
    constexpr int kSamples = 50000;

    SimulatedU3Bus bus;
    bus.PlugIn()->SetInputVolts(0, 1.234);
    LabJackU3Daq daq(bus.Connector());
    LJ_HANDLE handle = 0;
    if (daq.OpenLabJack(LJ_dtU3, LJ_ctUSB, "", 1, &handle) != LJE_NOERROR) {
        std::printf("open failed\n");
        return 1;
    }
    double volts = 0.0;
    for (int i = 0; i < kWarmUp; ++i) {
        daq.eGet(handle, LJ_ioGET_AIN, 0, &volts, 0);
    }
    std::vector<double> micros;
    micros.reserve(kSamples);
    for (int i = 0; i < kSamples; ++i) {
        const auto start = Clock::now();
        const LJ_ERROR error = daq.eGet(handle, LJ_ioGET_AIN, 0, &volts, 0);
        const auto end = Clock::now();
        if (error != LJE_NOERROR) {
            std::printf("eGet failed with %d\n", error);
            return 1;
        }
        micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    std::sort(micros.begin(), micros.end());
    std::printf("eGet round trip on the simulated U3, %d readings (last %.4f V):\n", kSamples,
                volts);
    std::printf("  median %.2f us, p99 %.2f us, max %.2f us\n", Percentile(micros, 0.5),
                Percentile(micros, 0.99), micros.back());
    std::printf(
        "  (real U3: add the USB round trip, about 1 ms behind a high-speed hub, 4 ms "
        "direct)\n");
    return 0;
}
