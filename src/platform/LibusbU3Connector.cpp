#include "platform/LibusbU3Connector.h"

#include <libusb.h>

#include <algorithm>
#include <array>
#include <span>

namespace orvalt {

namespace {

constexpr unsigned char kCommandOut = 0x01;
constexpr unsigned char kCommandIn = 0x81;
constexpr int kInterface = 0;
constexpr std::size_t kMaxFrame = 64;

UsbStatus StatusOf(int libusbError) {
    switch (libusbError) {
        case LIBUSB_SUCCESS:
            return UsbStatus::ok;
        case LIBUSB_ERROR_TIMEOUT:
            return UsbStatus::timeout;
        case LIBUSB_ERROR_NO_DEVICE:
            return UsbStatus::noDevice;
        case LIBUSB_ERROR_IO:
            return UsbStatus::io;
        case LIBUSB_ERROR_BUSY:
            return UsbStatus::busy;
        case LIBUSB_ERROR_ACCESS:
            return UsbStatus::access;
        case LIBUSB_ERROR_NOT_FOUND:
            return UsbStatus::notFound;
        default:
            return UsbStatus::failed;
    }
}

// libusb reads a time-out of 0 as "wait for ever"; the station never does.
unsigned TransferTimeout(unsigned timeoutMs) {
    return std::max(timeoutMs, 1u);
}

struct HandleCloser {
    void operator()(libusb_device_handle* handle) const { libusb_close(handle); }
};
using HandlePtr = std::unique_ptr<libusb_device_handle, HandleCloser>;

// The list of devices on the bus, freed (and its devices unreferenced) when
// it goes; an opened handle keeps its own reference.
class DeviceList {
  public:
    explicit DeviceList(libusb_context* context)
        : count_(libusb_get_device_list(context, &list_)) {}
    ~DeviceList() {
        if (count_ >= 0) {
            libusb_free_device_list(list_, 1);
        }
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;

    std::span<libusb_device*> Devices() const {
        return count_ > 0 ? std::span(list_, static_cast<std::size_t>(count_))
                          : std::span<libusb_device*>();
    }

  private:
    libusb_device** list_ = nullptr;
    ssize_t count_;
};

bool IsU3(libusb_device* device) {
    libusb_device_descriptor descriptor{};
    return libusb_get_device_descriptor(device, &descriptor) == LIBUSB_SUCCESS &&
           descriptor.idVendor == kLabJackVendorId && descriptor.idProduct == kU3ProductId;
}

}  // namespace

class LibusbContext {
  public:
    static std::shared_ptr<LibusbContext> Create() {
        libusb_context* context = nullptr;
        if (libusb_init(&context) != LIBUSB_SUCCESS) {
            return nullptr;
        }
        return std::shared_ptr<LibusbContext>(new LibusbContext(context));
    }
    ~LibusbContext() { libusb_exit(context_); }
    LibusbContext(const LibusbContext&) = delete;
    LibusbContext& operator=(const LibusbContext&) = delete;

    libusb_context* Get() const { return context_; }

  private:
    explicit LibusbContext(libusb_context* context) : context_(context) {}
    libusb_context* context_;
};

namespace {

class LibusbTransport final : public UsbTransport {
  public:
    LibusbTransport(std::shared_ptr<LibusbContext> context, HandlePtr handle)
        : context_(std::move(context)), handle_(std::move(handle)) {}
    ~LibusbTransport() override { libusb_release_interface(handle_.get(), kInterface); }
    LibusbTransport(const LibusbTransport&) = delete;
    LibusbTransport& operator=(const LibusbTransport&) = delete;

    UsbStatus Write(std::span<const std::uint8_t> frame, unsigned timeoutMs) override {
        std::array<unsigned char, kMaxFrame> buffer{};
        if (frame.size() > buffer.size()) {
            return UsbStatus::failed;
        }
        std::copy(frame.begin(), frame.end(), buffer.begin());
        const int length = static_cast<int>(frame.size());
        int sent = 0;
        const int result = libusb_bulk_transfer(handle_.get(), kCommandOut, buffer.data(), length,
                                                &sent, TransferTimeout(timeoutMs));
        if (result != LIBUSB_SUCCESS) {
            return StatusOf(result);
        }
        return sent == length ? UsbStatus::ok : UsbStatus::failed;
    }

    Result<std::size_t, UsbStatus> Read(std::span<std::uint8_t> buffer,
                                        unsigned timeoutMs) override {
        int received = 0;
        const int result = libusb_bulk_transfer(handle_.get(), kCommandIn, buffer.data(),
                                                static_cast<int>(buffer.size()), &received,
                                                TransferTimeout(timeoutMs));
        if (result != LIBUSB_SUCCESS) {
            return Fail(StatusOf(result));
        }
        return static_cast<std::size_t>(std::max(received, 0));
    }

  private:
    std::shared_ptr<LibusbContext> context_;  // declared first: outlives the handle
    HandlePtr handle_;
};

UsbClaim Claim(const std::shared_ptr<LibusbContext>& context, libusb_device* device) {
    libusb_device_handle* raw = nullptr;
    const int opened = libusb_open(device, &raw);
    if (opened != LIBUSB_SUCCESS) {
        return Fail(StatusOf(opened));
    }
    HandlePtr handle(raw);
    // Only matters where a kernel driver could hold the interface; its result
    // (not supported elsewhere) changes nothing.
    libusb_set_auto_detach_kernel_driver(raw, 1);
    const int claimed = libusb_claim_interface(raw, kInterface);
    if (claimed != LIBUSB_SUCCESS) {
        return Fail(StatusOf(claimed));
    }
    return {std::make_unique<LibusbTransport>(context, std::move(handle))};
}

}  // namespace

LibusbU3Connector::LibusbU3Connector() = default;
LibusbU3Connector::~LibusbU3Connector() = default;

UsbStatus LibusbU3Connector::VisitEachU3(const U3Visit& visit) {
    if (!context_) {
        context_ = LibusbContext::Create();
    }
    if (!context_) {
        return UsbStatus::unavailable;
    }
    const DeviceList list(context_->Get());
    for (libusb_device* device : list.Devices()) {
        if (!IsU3(device)) {
            continue;
        }
        UsbClaim claim = Claim(context_, device);
        if (visit(claim)) {
            break;
        }
    }
    return UsbStatus::ok;
}

}  // namespace orvalt
