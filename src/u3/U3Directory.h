#pragma once
// Which U3 is which: the U3s on the bus by their serial numbers, read from each
// device's ConfigU3 reply, since that number is what tells two fixtures' U3s
// apart. Each U3 is claimed in turn and released again unless it is the one
// asked for, and nothing is ever written to a device that is not kept.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"
#include "domain/Daq.h"
#include "domain/U3SerialNumber.h"
#include "platform/UsbTransport.h"
#include "u3/U3Link.h"

namespace orvalt {

// One U3 on the bus.
struct U3Presence {
    // Why it could not be claimed (busy: another program holds it), or ok.
    UsbStatus claim = UsbStatus::ok;
    // The code of a ConfigU3 exchange that failed on a claimed device.
    LJ_ERROR readError = LJE_NOERROR;
    // Known only when the device was claimed and answered.
    std::optional<std::uint32_t> serialNumber;
};

struct U3Listing {
    UsbStatus bus = UsbStatus::ok;  // not ok: the bus itself could not be searched
    std::vector<U3Presence> devices;
};

U3Listing ListU3s(UsbConnector& connector, unsigned timeoutMs);

// The listing as lines for a terminal: one per U3, or one saying there is none.
std::vector<std::string> DescribeU3Listing(const U3Listing& listing);

// The link to the U3 with that number, or why none was opened.
using U3BySerial = Result<std::unique_ptr<U3Link>, LJ_ERROR>;

// Opens the U3 whose serial number is `wanted`. Not found among the U3s that
// could be claimed: LJE_LABJACK_NOT_FOUND, unless a U3 could not be claimed,
// which may have been the one: then the code of the most telling reason.
U3BySerial OpenU3BySerial(UsbConnector& connector, std::string_view wanted, unsigned timeoutMs);

// The UD driver's code for a device that could not be claimed.
LJ_ERROR OpenFailureCode(UsbStatus status);

}  // namespace orvalt
