#pragma once
// A LabJack U3 wired to the simulated unit: line 4 switches the unit's power,
// AIN0 reads its light level, line 5 is the marker. Faults on demand: reads or
// power switches that fail after n accesses, a device that cannot be opened.

#include <cstdint>
#include <mutex>
#include <random>
#include <vector>

#include "domain/UdDriver.h"
#include "platform/Clock.h"
#include "sim/SimulatedSerialNumber.h"
#include "sim/SimulatedUnit.h"

namespace orvalt {

// Turns the 32-bit wrapping tick count into a monotonic 64-bit one.
class TickUnwrapper {
  public:
    std::uint64_t Unwrap(std::uint32_t tick);

  private:
    bool started_ = false;
    std::uint32_t last_ = 0;
    std::uint64_t total_ = 0;
};

class SimulatedU3 final : public UdDriverDaq {
  public:
    // The code every failing simulated access returns: a lost USB connection.
    static constexpr LJ_ERROR kFaultCode = LJE_COMM_FAILURE;
    // The firmware version the simulated U3 reports (a real U3's current one).
    static constexpr const char* kFirmware = "1.46";

    SimulatedU3(SimulatedUnit& unit, Clock& clock,
                std::uint32_t serialNumber = kUnnamedSimulatedSerial);

    // Opened by address (firstFound 0), it opens only when the address is its
    // serial number, as a real U3 does; otherwise LJE_LABJACK_NOT_FOUND.
    LJ_ERROR OpenLabJack(std::int32_t deviceType, std::int32_t connectionType, const char* address,
                         std::int32_t firstFound, LJ_HANDLE* handle) override;
    LJ_ERROR eGet(LJ_HANDLE handle, std::int32_t ioType, std::int32_t channel, double* value,
                  std::int32_t x1) override;
    LJ_ERROR eDO(LJ_HANDLE handle, std::int32_t channel, std::int32_t state) override;
    // Its serial number and kFirmware once opened.
    DaqIdentity Identity(LJ_HANDLE handle) const override;

    std::uint32_t SerialNumber() const { return serialNumber_; }
    // Makes every later OpenLabJack fail with `code` (0: opens again).
    void SetOpenError(LJ_ERROR code);
    // The clock's tick, unwrapped onto the unit's monotonic time axis.
    std::uint64_t NowMs();
    // The first marker levels written to line 5, in order (a long soak keeps only
    // the first ones).
    std::vector<std::int32_t> MarkerWrites() const;
    std::int64_t Reads() const;
    std::int64_t PowerSwitches() const;
    // The unit on the far side of line 4, to see whether it is powered.
    const SimulatedUnit& Unit() const { return unit_; }
    // Another unit was put in the fixture (between runs): its readings scatter
    // from its own seed, and its faults count its own accesses.
    void UnitReplaced();

  private:
    static constexpr LJ_HANDLE kHandle = 1;
    static constexpr std::size_t kMarkerWritesKept = 4096;
    void SpendAccessTime();
    double Noise();

    SimulatedUnit& unit_;
    Clock& clock_;
    const std::uint32_t serialNumber_;
    mutable std::mutex mutex_;
    TickUnwrapper ticks_;
    std::mt19937 random_;
    LJ_ERROR openError_ = LJE_NOERROR;
    bool open_ = false;
    std::int64_t reads_ = 0;
    std::int64_t powerSwitches_ = 0;
    std::vector<std::int32_t> markerWrites_;
};

}  // namespace orvalt
