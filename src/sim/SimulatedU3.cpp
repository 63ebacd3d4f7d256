#include "sim/SimulatedU3.h"

#include <cstring>
#include <string>

#include "domain/U3SerialNumber.h"

namespace orvalt {

std::uint64_t TickUnwrapper::Unwrap(std::uint32_t tick) {
    if (started_) {
        total_ += static_cast<std::uint32_t>(tick - last_);
    } else {
        total_ = tick;
        started_ = true;
    }
    last_ = tick;
    return total_;
}

SimulatedU3::SimulatedU3(SimulatedUnit& unit, Clock& clock, std::uint32_t serialNumber)
    : unit_(unit), clock_(clock), serialNumber_(serialNumber), random_(unit.Profile().seed) {}

std::uint64_t SimulatedU3::NowMs() {
    std::scoped_lock lock(mutex_);
    return ticks_.Unwrap(clock_.NowMs());
}

void SimulatedU3::SetOpenError(LJ_ERROR code) {
    std::scoped_lock lock(mutex_);
    openError_ = code;
}

void SimulatedU3::UnitReplaced() {
    std::scoped_lock lock(mutex_);
    random_.seed(unit_.Profile().seed);
    reads_ = 0;
    powerSwitches_ = 0;
}

std::vector<std::int32_t> SimulatedU3::MarkerWrites() const {
    std::scoped_lock lock(mutex_);
    return markerWrites_;
}

std::int64_t SimulatedU3::Reads() const {
    std::scoped_lock lock(mutex_);
    return reads_;
}

std::int64_t SimulatedU3::PowerSwitches() const {
    std::scoped_lock lock(mutex_);
    return powerSwitches_;
}

DaqIdentity SimulatedU3::Identity(LJ_HANDLE handle) const {
    std::scoped_lock lock(mutex_);
    if (!open_ || handle != kHandle) {
        return {};
    }
    return {std::to_string(serialNumber_), kFirmware};
}

LJ_ERROR SimulatedU3::OpenLabJack(std::int32_t deviceType, std::int32_t connectionType,
                                  const char* address, std::int32_t firstFound, LJ_HANDLE* handle) {
    std::scoped_lock lock(mutex_);
    if (deviceType != LJ_dtU3) {
        return LJE_INVALID_DEVICE_TYPE;
    }
    if (connectionType != LJ_ctUSB) {
        return LJE_INVALID_CONNECTION_TYPE;
    }
    if (openError_ != LJE_NOERROR) {
        return openError_;
    }
    const bool byAddress = firstFound == 0 && address != nullptr && !AsksForAnyU3(address);
    if (byAddress && !SerialNumberMatches(address, serialNumber_)) {
        return LJE_LABJACK_NOT_FOUND;
    }
    open_ = true;
    *handle = kHandle;
    return LJE_NOERROR;
}

// A USB round trip takes time; in virtual time this is where it passes.
void SimulatedU3::SpendAccessTime() {
    clock_.SleepMs(unit_.Profile().accessMs);
}

double SimulatedU3::Noise() {
    const double noiseMv = unit_.Profile().noiseMv;
    if (noiseMv <= 0.0) {
        return 0.0;
    }
    // mt19937's output sequence is fixed by the C++ standard, so a seed gives the
    // same noise on every machine; the distributions are not, hence by hand.
    const double unit = static_cast<double>(random_()) / 4294967295.0;
    return (unit * 2.0 - 1.0) * noiseMv / 1000.0;
}

LJ_ERROR SimulatedU3::eGet(LJ_HANDLE handle, std::int32_t ioType, std::int32_t channel,
                           double* value, std::int32_t /*x1*/) {
    SpendAccessTime();
    std::scoped_lock lock(mutex_);
    if (!open_ || handle != kHandle) {
        return LJE_INVALID_HANDLE;
    }
    if (ioType != LJ_ioGET_AIN || channel != 0) {
        return LJE_INVALID_CHANNEL_NUMBER;
    }
    const auto& failAfter = unit_.Profile().failReadAfter;
    if (const std::int64_t index = reads_++; failAfter && index >= *failAfter) {
        return kFaultCode;
    }
    *value = unit_.Voltage(ticks_.Unwrap(clock_.NowMs())) + Noise();
    return LJE_NOERROR;
}

LJ_ERROR SimulatedU3::eDO(LJ_HANDLE handle, std::int32_t channel, std::int32_t state) {
    SpendAccessTime();
    std::scoped_lock lock(mutex_);
    if (!open_ || handle != kHandle) {
        return LJE_INVALID_HANDLE;
    }
    if (channel == 5) {
        if (markerWrites_.size() < kMarkerWritesKept) {
            markerWrites_.push_back(state);
        }
        return LJE_NOERROR;
    }
    if (channel != 4) {
        return LJE_INVALID_CHANNEL_NUMBER;
    }
    const auto& failAfter = unit_.Profile().failOutputAfter;
    if (const std::int64_t index = powerSwitches_++; failAfter && index >= *failAfter) {
        return kFaultCode;
    }
    unit_.SetPower(state != 0, ticks_.Unwrap(clock_.NowMs()));
    return LJE_NOERROR;
}

}  // namespace orvalt
