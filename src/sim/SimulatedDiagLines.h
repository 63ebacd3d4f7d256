#pragma once
// Carries the simulated driver's diagnostic lines to wherever the station hears
// them (a posted WM_DIAG_LINE, or a pseudo-terminal the real link reads), in
// virtual time as clock events or in real time on a thread of its own.

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/Clock.h"
#include "sim/SimulatedU3.h"
#include "sim/SimulatedUnit.h"

namespace orvalt {

// Virtual time: each line becomes due as an event of the virtual clock, so it
// arrives exactly when the worker's sleep passes its moment.
class VirtualDiagLines final : public VirtualEventSource {
  public:
    VirtualDiagLines(SimulatedUnit& unit, SimulatedU3& device, VirtualClock& clock,
                     SimulatedUnit::DiagSink sink);
    ~VirtualDiagLines() override;
    VirtualDiagLines(const VirtualDiagLines&) = delete;
    VirtualDiagLines& operator=(const VirtualDiagLines&) = delete;

    std::optional<std::uint64_t> NextDue() override;
    void Fire(std::uint64_t now) override;

  private:
    SimulatedUnit& unit_;
    SimulatedU3& device_;
    VirtualClock& clock_;
    SimulatedUnit::DiagSink sink_;
};

// Real time: a thread that sleeps until the next line is due (or until told to
// look again after a power edge) and hands it to the sink. Joined on destruction.
class RealTimeDiagLines {
  public:
    RealTimeDiagLines(SimulatedUnit& unit, SimulatedU3& device, SimulatedUnit::DiagSink sink);
    ~RealTimeDiagLines();
    RealTimeDiagLines(const RealTimeDiagLines&) = delete;
    RealTimeDiagLines& operator=(const RealTimeDiagLines&) = delete;

  private:
    void Run();

    SimulatedUnit& unit_;
    SimulatedU3& device_;
    SimulatedUnit::DiagSink sink_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace orvalt
