#pragma once
// LabJack U3s on the machine's USB, through libusb-1.0. Commands go out on
// bulk endpoint 1 and replies come back on it; endpoint 2 carries only stream
// data, which the station does not use.

#include <cstdint>
#include <memory>

#include "platform/UsbTransport.h"

namespace orvalt {

constexpr std::uint16_t kLabJackVendorId = 0x0CD5;
constexpr std::uint16_t kU3ProductId = 0x0003;

class LibusbContext;

class LibusbU3Connector final : public UsbConnector {
  public:
    LibusbU3Connector();
    ~LibusbU3Connector() override;
    LibusbU3Connector(const LibusbU3Connector&) = delete;
    LibusbU3Connector& operator=(const LibusbU3Connector&) = delete;

    // Claims interface 0 of the first U3 that lets itself be claimed. The
    // libusb context is started on first use and shared with every transport
    // handed out, so it outlives them all.
    Result<std::unique_ptr<UsbTransport>, UsbStatus> OpenFirstU3() override;

  private:
    std::shared_ptr<LibusbContext> context_;
};

}  // namespace orvalt
