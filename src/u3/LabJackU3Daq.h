#pragma once
// The Daq calls on a real LabJack U3, speaking its USB protocol directly (no
// vendor library). Opening claims the first U3 and sets it up for a session;
// the device is never closed by the station, so an open of a device this
// object already holds sets it up again and returns its handle. A device that
// vanished (unplugged) fails the call that met it with a code and is
// released; the next open claims it again, under the same handle.

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include "domain/UdDriver.h"
#include "platform/UsbTransport.h"
#include "u3/U3Device.h"

namespace orvalt {

struct LabJackU3Options {
    // Bound of every USB transfer. A U3 answers in a few milliseconds.
    unsigned timeoutMs = 1000;
};

class LabJackU3Daq final : public UdDriverDaq {
  public:
    // U3s on this machine's USB (libusb-1.0).
    LabJackU3Daq();
    explicit LabJackU3Daq(std::unique_ptr<UsbConnector> connector, LabJackU3Options options = {});
    ~LabJackU3Daq() override;
    LabJackU3Daq(const LabJackU3Daq&) = delete;
    LabJackU3Daq& operator=(const LabJackU3Daq&) = delete;

    // deviceType LJ_dtU3 and connectionType LJ_ctUSB only. With firstFound 0
    // and an address, the U3 whose serial number (in decimal) is the address
    // is opened, as the UD driver does; otherwise the first U3 found.
    LJ_ERROR OpenLabJack(std::int32_t deviceType, std::int32_t connectionType, const char* address,
                         std::int32_t firstFound, LJ_HANDLE* handle) override;
    // ioType LJ_ioGET_AIN: one calibrated single-ended reading of `channel`.
    LJ_ERROR eGet(LJ_HANDLE handle, std::int32_t ioType, std::int32_t channel, double* value,
                  std::int32_t x1) override;
    // Drives digital line `channel` (0-19) high for a nonzero state, else low.
    LJ_ERROR eDO(LJ_HANDLE handle, std::int32_t channel, std::int32_t state) override;
    // From the ConfigU3 reply read at the last open; empty once unplugged.
    DaqIdentity Identity(LJ_HANDLE handle) const override;

    // Diagnostics: what the device reported at its last open, and the last
    // fault seen on it (the device's own error code and failed IOType).
    std::optional<U3DeviceInfo> DeviceInfo(LJ_HANDLE handle) const;
    std::optional<U3Fault> LastFault(LJ_HANDLE handle) const;

  private:
    std::shared_ptr<U3Device> Find(LJ_HANDLE handle) const;
    bool PrepareHeldDevice(LJ_HANDLE& handle, std::string_view wanted);
    LJ_ERROR OpenNewDevice(LJ_HANDLE& handle, std::string_view wanted);
    std::shared_ptr<U3Device> ClaimDevice(std::string_view wanted, LJ_ERROR& error);
    LJ_HANDLE HandleFor(std::uint32_t serialNumber);

    mutable std::mutex mutex_;  // the handle table; each device has its own
    std::unique_ptr<UsbConnector> connector_;
    LabJackU3Options options_;
    std::map<LJ_HANDLE, std::shared_ptr<U3Device>> devices_;
    LJ_HANDLE nextHandle_ = 1;
};

}  // namespace orvalt
