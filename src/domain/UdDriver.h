#pragma once
// The LabJack UD driver's three calls, with the argument values the station
// gives them, as both U3 backends (the simulated one and the real one over
// USB) speak them; the station's own calls are made of these. Only the
// backends and their tests use this header.

#include <cstdint>
#include <string>
#include <string_view>

#include "domain/Daq.h"
#include "domain/U3SerialNumber.h"

namespace orvalt {

constexpr std::int32_t LJ_dtU3 = 3;
constexpr std::int32_t LJ_ctUSB = 1;
constexpr std::int32_t LJ_ioGET_AIN = 10;

class UdDriverDaq : public Daq {
  public:
    virtual LJ_ERROR OpenLabJack(std::int32_t deviceType, std::int32_t connectionType,
                                 const char* address, std::int32_t firstFound,
                                 LJ_HANDLE* handle) = 0;
    virtual LJ_ERROR eGet(LJ_HANDLE handle, std::int32_t ioType, std::int32_t channel,
                          double* value, std::int32_t x1) = 0;
    virtual LJ_ERROR eDO(LJ_HANDLE handle, std::int32_t channel, std::int32_t state) = 0;

    // A serial number that names no U3 opens the first one found.
    LJ_ERROR Open(std::string_view serialNumber, LJ_HANDLE* handle) final {
        const std::string address(serialNumber);
        return OpenLabJack(LJ_dtU3, LJ_ctUSB, address.c_str(), AsksForAnyU3(address) ? 1 : 0,
                           handle);
    }
    LJ_ERROR ReadLightLevel(LJ_HANDLE handle, double* volts) final {
        return eGet(handle, LJ_ioGET_AIN, kLightLevelChannel, volts, 0);
    }
    LJ_ERROR SwitchPower(LJ_HANDLE handle, std::int32_t state) final {
        return eDO(handle, kPowerLine, state);
    }
    LJ_ERROR SetMarker(LJ_HANDLE handle, std::int32_t level) final {
        return eDO(handle, kMarkerLine, level);
    }
};

}  // namespace orvalt
