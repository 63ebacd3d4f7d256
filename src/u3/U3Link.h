#pragma once
// One claimed U3: sends a command frame and takes its reply, one exchange at a
// time, each transfer bounded by a time-out. Whatever goes wrong becomes one of
// the UD driver's error codes; nothing a device or cable does can crash it.

#include <cstdint>
#include <memory>

#include "domain/Daq.h"
#include "u3/U3Protocol.h"
#include "platform/UsbTransport.h"

namespace orvalt {

// The last thing that went wrong on a link, for diagnostics: the code alone
// does not say which IOType the device refused.
struct U3Fault {
    UsbStatus usb = UsbStatus::ok;
    u3::FrameFault frame = u3::FrameFault::none;
    std::uint8_t errorcode = 0;   // the device's own error code
    std::uint8_t errorFrame = 0;  // 1-based IOType of a failed Feedback
};

class U3Link {
  public:
    U3Link(std::unique_ptr<UsbTransport> transport, unsigned timeoutMs);

    LJ_ERROR ReadConfig(u3::U3Config& config);
    // Writes the fields in `writeMask` (0 only reads); `config` receives what
    // the device reports afterwards.
    LJ_ERROR ConfigureIo(std::uint8_t writeMask, u3::IoConfig& config);
    LJ_ERROR ReadCal(std::uint8_t block, u3::CalBlock& data);
    LJ_ERROR Feedback(const u3::FeedbackRequest& request, u3::Bytes& data);

    // The device has gone (unplugged, or the bus gave up on it): no transfer
    // will get through any more and the owner should let the link go.
    bool Lost() const { return lost_; }
    const U3Fault& LastFault() const { return lastFault_; }

  private:
    template <typename Parse>
    LJ_ERROR Run(const u3::Bytes& command, Parse parse);
    LJ_ERROR Exchange(const u3::Bytes& command, u3::Bytes& reply);
    LJ_ERROR Receive(u3::Bytes& reply);
    LJ_ERROR Settle(const u3::ReplyStatus& status);
    LJ_ERROR TransferFailed(UsbStatus status);
    void DrainLateReplies();

    std::unique_ptr<UsbTransport> transport_;
    unsigned timeoutMs_;
    bool lost_ = false;
    // A reply may still be on its way after a time-out or a garbled frame (or,
    // on a fresh claim, from whoever used the device before); it must not be
    // taken for the answer to the next command.
    bool unsettled_ = true;
    std::uint8_t echo_ = 0;
    U3Fault lastFault_;
};

}  // namespace orvalt
