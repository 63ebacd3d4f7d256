#pragma once
// The station's parts wired together, for the window and the headless runner
// alike: the clock, the device (a real U3, or the simulated U3 with its unit),
// the process-wide run values, and the simulated driver's diagnostic lines.

#include <memory>
#include <optional>

#include "config/SettingsRecord.h"
#include "diaglink/DiagPorts.h"
#include "diaglink/DiagTable.h"
#include "execution/RunRecord.h"
#include "platform/Clock.h"
#include "domain/Daq.h"
#include "platform/PseudoTerminal.h"
#include "results/SummaryLines.h"
#include "sim/SimulatedDiagLines.h"
#include "sim/SimulatedU3.h"
#include "sim/SimulatedUnit.h"
#include "sim/UnitProfile.h"

namespace orvalt {

struct StationOptions {
    bool simulate = false;
    // Virtual time: only with the simulator.
    bool virtualTime = false;
    UnitProfile unit;
    // The fixture the station serves (empty: none); names its simulated U3.
    std::string fixture{};
};

class Station {
  public:
    Station(const StationOptions& options, const SettingsRecord& settings);
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    StationIo Io();
    Clock& GetClock() { return *clock_; }
    Daq& GetDaq() { return *daq_; }
    // The virtual clock, when the station runs in virtual time.
    VirtualClock* Virtual() { return virtualClock_; }
    // The simulated device, when the station runs on the simulator.
    SimulatedU3* SimulatedDevice() { return simulatedU3_.get(); }
    bool Simulated() const { return unit_ != nullptr; }

    // The simulated driver's lines go straight to `window` as WM_DIAG_LINE posts.
    void PostSimulatedDiagLines(WindowHandle window);
    // The simulated driver's lines go into a pseudo-terminal whose far end the
    // real link can open; returns that port, or nothing if no pseudo-terminal
    // could be made.
    std::optional<DiagPort> WriteSimulatedDiagLinesToPort();
    void StopSimulatedDiagLines();

    RunState runState;
    SummaryLines summaryLines;
    DiagTable diagTable;

  private:
    void CarryDiagLines(SimulatedUnit::DiagSink sink);

    const SettingsRecord& settings_;
    std::unique_ptr<Clock> clock_;
    VirtualClock* virtualClock_ = nullptr;
    std::unique_ptr<SimulatedUnit> unit_;
    std::unique_ptr<SimulatedU3> simulatedU3_;
    std::unique_ptr<Daq> realDaq_;
    Daq* daq_ = nullptr;
    std::int32_t markerLevel_ = 1;
    std::optional<PseudoTerminal> pty_;
    std::unique_ptr<VirtualDiagLines> virtualDiag_;
    std::unique_ptr<RealTimeDiagLines> realTimeDiag_;
};

}  // namespace orvalt
