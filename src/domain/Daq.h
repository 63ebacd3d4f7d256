#pragma once
// The data-acquisition device as the station uses it: opened by serial
// number, it reads the unit's light level and drives the power and marker
// lines, and fails with the LabJack UD driver's error codes (the operator is
// told those numbers). Backends: the simulated U3 (sim/) and a real U3 over
// USB (u3/), both speaking the UD driver's calls (domain/UdDriver.h).

#include <cstdint>
#include <string>
#include <string_view>

namespace orvalt {

using LJ_HANDLE = std::int32_t;
using LJ_ERROR = std::int32_t;

// The station's lines: AIN0 reads the light level, line 4 switches the
// unit's power, line 5 is the marker.
constexpr std::int32_t kLightLevelChannel = 0;
constexpr std::int32_t kPowerLine = 4;
constexpr std::int32_t kMarkerLine = 5;

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

// What an opened device says of itself, for the run records. Empty texts for a
// handle that is not open.
struct DaqIdentity {
    std::string serial;    // in decimal, "320012345"
    std::string firmware;  // "1.46"
};

// All calls are synchronous. Opening happens on the window thread at Start; the
// other calls only on the test worker.
class Daq {
  public:
    virtual ~Daq() = default;
    // The U3 with this serial number; any U3 when the number asks for none
    // (see AsksForAnyU3).
    virtual LJ_ERROR Open(std::string_view serialNumber, LJ_HANDLE* handle) = 0;
    // One reading of the light level (AIN0), in volts.
    virtual LJ_ERROR ReadLightLevel(LJ_HANDLE handle, double* volts) = 0;
    // Line 4: 0 switches the unit off, anything else on.
    virtual LJ_ERROR SwitchPower(LJ_HANDLE handle, std::int32_t state) = 0;
    // Line 5, which a scope watches to see each device access.
    virtual LJ_ERROR SetMarker(LJ_HANDLE handle, std::int32_t level) = 0;
    // The serial number and firmware version the device reported when it was
    // opened: no device access, so the window thread may ask between the open
    // and the worker's start.
    virtual DaqIdentity Identity(LJ_HANDLE handle) const = 0;
};

}  // namespace orvalt
