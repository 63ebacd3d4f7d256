#include "station/Station.h"

#include "u3/LabJackU3Daq.h"

namespace orvalt {

Station::Station(const StationOptions& options) {
    if (options.simulate && options.virtualTime) {
        auto clock = std::make_unique<VirtualClock>();
        virtualClock_ = clock.get();
        clock_ = std::move(clock);
    } else {
        clock_ = std::make_unique<RealClock>();
    }
    if (options.simulate) {
        unit_ = std::make_unique<SimulatedUnit>(options.unit);
        simulatedU3_ =
            std::make_unique<SimulatedU3>(*unit_, *clock_, SimulatedSerialNumber(options.fixture));
        daq_ = simulatedU3_.get();
    } else {
        realDaq_ = std::make_unique<LabJackU3Daq>();
        daq_ = realDaq_.get();
    }
    if (options.wrapDevice) {
        wrapper_ = options.wrapDevice(*daq_);
        daq_ = wrapper_.get();
    }
}

Station::~Station() {
    StopSimulatedDiagLines();
}

bool Station::InsertSimulatedUnit(const UnitProfile& unit) {
    if (!unit_) {
        return false;
    }
    unit_->Replace(unit);
    simulatedU3_->UnitReplaced();
    return true;
}

void Station::CarryDiagLines(SimulatedUnit::DiagSink sink) {
    StopSimulatedDiagLines();
    if (!unit_) {
        return;
    }
    if (virtualClock_) {
        virtualDiag_ = std::make_unique<VirtualDiagLines>(*unit_, *simulatedU3_, *virtualClock_,
                                                          std::move(sink));
    } else {
        realTimeDiag_ = std::make_unique<RealTimeDiagLines>(*unit_, *simulatedU3_, std::move(sink));
    }
}

std::optional<DiagPort> Station::WriteSimulatedDiagLinesToPort() {
    StopSimulatedDiagLines();  // no carrier may still write into the old one
    pty_ = PseudoTerminal::Open();
    if (!pty_) {
        return std::nullopt;
    }
    // A line nobody reads is lost, as on a real wire: never wait for the reader.
    CarryDiagLines([this](const std::string& line) { pty_->Write(line + "\r\n", 0); });
    return DiagPort{pty_->SlavePath(), pty_->SlavePath() + " (simulated driver)",
                    kSimulatorCommPort};
}

void Station::StopSimulatedDiagLines() {
    virtualDiag_.reset();
    realTimeDiag_.reset();
}

}  // namespace orvalt
