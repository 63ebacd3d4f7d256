#pragma once
// The hardware side of one station session: the clock, the device (a real U3,
// or the simulated U3 with its unit), the level of the marker line, and the
// simulated driver's diagnostic lines.

#include <functional>
#include <memory>
#include <optional>

#include "diaglink/DiagPorts.h"
#include "domain/Daq.h"
#include "platform/Clock.h"
#include "platform/PseudoTerminal.h"
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
    // When set, what the runs use in place of the device (a test's faulty
    // device, for instance); it is given the device it stands in front of.
    std::function<std::unique_ptr<Daq>(Daq& inner)> wrapDevice{};
    // The fixture the station serves (empty: none); names its simulated U3.
    std::string fixture{};
};

class Station {
  public:
    explicit Station(const StationOptions& options);
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    Clock& GetClock() { return *clock_; }
    Daq& GetDaq() { return *daq_; }
    // Level the marker line 5 gets at its next write; 1 when the station starts.
    std::int32_t& MarkerLevel() { return markerLevel_; }
    // The virtual clock, when the station runs in virtual time.
    VirtualClock* Virtual() { return virtualClock_; }
    // The simulated device, when the station runs on the simulator.
    SimulatedU3* SimulatedDevice() { return simulatedU3_.get(); }
    bool Simulated() const { return unit_ != nullptr; }
    // Puts another simulated unit in the fixture, between runs (a lot's next
    // unit); false on a real device.
    bool InsertSimulatedUnit(const UnitProfile& unit);

    // The simulated driver's lines go straight to `sink`: on the clock's
    // events in virtual time, on a thread of their own in real time.
    void CarryDiagLines(SimulatedUnit::DiagSink sink);
    // The simulated driver's lines go into a pseudo-terminal whose far end the
    // real link can open; returns that port, or nothing if no pseudo-terminal
    // could be made.
    std::optional<DiagPort> WriteSimulatedDiagLinesToPort();
    void StopSimulatedDiagLines();
    // Whether the simulated driver's lines are carried straight to a sink.
    bool CarriesDiagLines() const { return virtualDiag_ || realTimeDiag_; }

  private:
    std::unique_ptr<Clock> clock_;
    VirtualClock* virtualClock_ = nullptr;
    std::unique_ptr<SimulatedUnit> unit_;
    std::unique_ptr<SimulatedU3> simulatedU3_;
    std::unique_ptr<Daq> realDaq_;
    std::unique_ptr<Daq> wrapper_;
    Daq* daq_ = nullptr;
    std::int32_t markerLevel_ = 1;
    std::optional<PseudoTerminal> pty_;
    std::unique_ptr<VirtualDiagLines> virtualDiag_;
    std::unique_ptr<RealTimeDiagLines> realTimeDiag_;
};

}  // namespace orvalt
