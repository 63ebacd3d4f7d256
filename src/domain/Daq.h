#pragma once
// The data-acquisition device as the station uses it: the three calls of the
// LabJack UD driver, with its argument values and its nonzero error codes.
// Backends: the simulated U3 (sim/) and a real U3 over USB (platform/,
// LabJackU3Daq).

#include <cstdint>

namespace orvalt {

using LJ_HANDLE = std::int32_t;
using LJ_ERROR = std::int32_t;

// The station's lines: AIN0 reads the light level, line 4 switches the
// unit's power, line 5 is the marker.
constexpr std::int32_t kLightLevelChannel = 0;
constexpr std::int32_t kPowerLine = 4;
constexpr std::int32_t kMarkerLine = 5;

// Values the station passes to the driver.
constexpr std::int32_t LJ_dtU3 = 3;
constexpr std::int32_t LJ_ctUSB = 1;
constexpr std::int32_t LJ_ioGET_AIN = 10;

// Error codes as the UD driver numbers them.
constexpr LJ_ERROR LJE_NOERROR = 0;
constexpr LJ_ERROR LJE_INVALID_CHANNEL_NUMBER = 2;
// Believed to be the UD driver's number for a bad argument (not checked
// against the vendor header): an unsupported IOType or a null pointer.
constexpr LJ_ERROR LJE_INVALID_PARAMETER = 10;
constexpr LJ_ERROR LJE_UNKNOWN_ERROR = 1001;
constexpr LJ_ERROR LJE_INVALID_DEVICE_TYPE = 1002;
constexpr LJ_ERROR LJE_INVALID_HANDLE = 1003;
constexpr LJ_ERROR LJE_DEVICE_NOT_OPEN = 1004;
constexpr LJ_ERROR LJE_LABJACK_NOT_FOUND = 1007;
constexpr LJ_ERROR LJE_COMM_FAILURE = 1008;
constexpr LJ_ERROR LJE_CHECKSUM_ERROR = 1009;
constexpr LJ_ERROR LJE_DEVICE_ALREADY_OPEN = 1010;
constexpr LJ_ERROR LJE_COMM_TIMEOUT = 1011;
// The USB access the driver needs is missing: on Linux, no libusb or no
// permission on the device node (the udev rule is not installed).
constexpr LJ_ERROR LJE_USB_DRIVER_NOT_FOUND = 1012;
constexpr LJ_ERROR LJE_INVALID_CONNECTION_TYPE = 1013;

// All calls are synchronous. Opening happens on the window thread at Start; the
// other calls only on the test worker.
class Daq {
  public:
    virtual ~Daq() = default;
    virtual LJ_ERROR OpenLabJack(std::int32_t deviceType, std::int32_t connectionType,
                                 const char* address, std::int32_t firstFound,
                                 LJ_HANDLE* handle) = 0;
    virtual LJ_ERROR eGet(LJ_HANDLE handle, std::int32_t ioType, std::int32_t channel,
                          double* value, std::int32_t x1) = 0;
    virtual LJ_ERROR eDO(LJ_HANDLE handle, std::int32_t channel, std::int32_t state) = 0;
};

}  // namespace orvalt
