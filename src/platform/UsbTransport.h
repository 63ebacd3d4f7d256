#pragma once
// The seam between the U3 protocol and the USB stack: one claimed device that
// writes and reads whole frames with a time-out, and the way such a device is
// found and claimed. Real USB (libusb) and a simulated U3 both sit behind it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "base/Result.h"

namespace orvalt {

enum class UsbStatus {
    ok,
    timeout,
    noDevice,     // unplugged: the connection is dead for good
    io,           // the transfer broke off; on a pulled cable this comes first
    busy,         // claimed by another process (or another handle)
    access,       // no permission on the device node
    notFound,     // no such device on the bus
    unavailable,  // the USB stack itself could not be started
    failed,       // anything else (a stalled endpoint, a short write)
};

// A claimed device's command endpoint pair. Not thread-safe: its owner
// serialises the calls. Destroying it releases the claim.
class UsbTransport {
  public:
    virtual ~UsbTransport() = default;
    // Sends one whole frame.
    virtual UsbStatus Write(std::span<const std::uint8_t> frame, unsigned timeoutMs) = 0;
    // Receives one frame (one transfer) into `buffer`, which should hold the
    // largest frame the device sends: its length in bytes.
    virtual Result<std::size_t, UsbStatus> Read(std::span<std::uint8_t> buffer,
                                                unsigned timeoutMs) = 0;
};

// A claimed device's transport, or why it could not be claimed (busy: another
// program holds it).
using UsbClaim = Result<std::unique_ptr<UsbTransport>, UsbStatus>;

// Offered one U3 met on the bus. Returns true to stop there; to keep the
// device it moves the transport out of `claim`.
using U3Visit = std::function<bool(UsbClaim& claim)>;

// Finds and claims devices.
class UsbConnector {
  public:
    virtual ~UsbConnector() = default;
    // Claims each LabJack U3 on the bus in turn, in bus order, and offers it to
    // `visit`; a claim the visit leaves in place is released before the next
    // U3 is claimed, so no two are held at once. Not ok only when the bus
    // itself can't be reached (unavailable, or access to every device denied).
    virtual UsbStatus VisitEachU3(const U3Visit& visit) = 0;

    // Claims the first LabJack U3 on the bus that can be claimed. When none
    // can, the status tells the most telling reason (busy before access before
    // any other failure before not found).
    UsbClaim OpenFirstU3();
};

// The more telling of two reasons why a device could not be claimed.
UsbStatus MoreTellingOpenFailure(UsbStatus a, UsbStatus b);

}  // namespace orvalt
