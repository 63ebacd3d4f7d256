#include "u3/LabJackU3Daq.h"

#include "platform/LibusbU3Connector.h"

namespace orvalt {

namespace {

LJ_ERROR OpenFailureCode(UsbStatus status) {
    switch (status) {
        case UsbStatus::notFound:
            return LJE_LABJACK_NOT_FOUND;
        case UsbStatus::busy:
            return LJE_DEVICE_ALREADY_OPEN;
        case UsbStatus::access:
        case UsbStatus::unavailable:
            return LJE_USB_DRIVER_NOT_FOUND;
        default:
            return LJE_COMM_FAILURE;
    }
}

LJ_ERROR CheckOpenArguments(std::int32_t deviceType, std::int32_t connectionType,
                            const char* address, std::int32_t firstFound, const LJ_HANDLE* handle) {
    if (deviceType != LJ_dtU3) {
        return LJE_INVALID_DEVICE_TYPE;
    }
    if (connectionType != LJ_ctUSB) {
        return LJE_INVALID_CONNECTION_TYPE;
    }
    const bool byAddress = firstFound == 0 && address != nullptr && address[0] != '\0';
    return handle == nullptr || byAddress ? LJE_INVALID_PARAMETER : LJE_NOERROR;
}

}  // namespace

LabJackU3Daq::LabJackU3Daq() : LabJackU3Daq(std::make_unique<LibusbU3Connector>()) {}

LabJackU3Daq::LabJackU3Daq(std::unique_ptr<UsbConnector> connector, LabJackU3Options options)
    : connector_(std::move(connector)), options_(options) {}

LabJackU3Daq::~LabJackU3Daq() = default;

LJ_ERROR LabJackU3Daq::OpenLabJack(std::int32_t deviceType, std::int32_t connectionType,
                                   const char* address, std::int32_t firstFound,
                                   LJ_HANDLE* handle) {
    if (LJ_ERROR error =
            CheckOpenArguments(deviceType, connectionType, address, firstFound, handle)) {
        return error;
    }
    std::scoped_lock lock(mutex_);
    if (PrepareHeldDevice(*handle)) {
        return LJE_NOERROR;
    }
    return OpenNewDevice(*handle);
}

// A device this object still holds is set up again for the new session. One
// that fails is released, so that a fresh claim below can reach it.
bool LabJackU3Daq::PrepareHeldDevice(LJ_HANDLE& handle) {
    for (const auto& [held, device] : devices_) {
        if (!device->Connected()) {
            continue;
        }
        if (device->Prepare() == LJE_NOERROR) {
            handle = held;
            return true;
        }
        device->Disconnect();
    }
    return false;
}

LJ_ERROR LabJackU3Daq::OpenNewDevice(LJ_HANDLE& handle) {
    auto opened = connector_->OpenFirstU3();
    if (!opened) {
        return OpenFailureCode(opened.Error());
    }
    auto device = std::make_shared<U3Device>(std::move(opened).Value(), options_.timeoutMs);
    if (LJ_ERROR error = device->Prepare()) {
        return error;  // the device goes with the object: its claim is released
    }
    handle = HandleFor(device->Info().config.serialNumber);
    devices_[handle] = std::move(device);
    return LJE_NOERROR;
}

// A device seen before (by serial number) gets its old handle back, so that a
// handle kept across an unplug stays good after the device is opened again.
LJ_HANDLE LabJackU3Daq::HandleFor(std::uint32_t serialNumber) {
    for (const auto& [held, device] : devices_) {
        if (device->Info().config.serialNumber == serialNumber) {
            return held;
        }
    }
    return nextHandle_++;
}

std::shared_ptr<U3Device> LabJackU3Daq::Find(LJ_HANDLE handle) const {
    std::scoped_lock lock(mutex_);
    const auto found = devices_.find(handle);
    return found == devices_.end() ? nullptr : found->second;
}

LJ_ERROR LabJackU3Daq::eGet(LJ_HANDLE handle, std::int32_t ioType, std::int32_t channel,
                            double* value, std::int32_t /*x1*/) {
    const std::shared_ptr<U3Device> device = Find(handle);
    if (!device) {
        return LJE_INVALID_HANDLE;
    }
    if (ioType != LJ_ioGET_AIN || value == nullptr) {
        return LJE_INVALID_PARAMETER;
    }
    return device->ReadAin(channel, *value);
}

LJ_ERROR LabJackU3Daq::eDO(LJ_HANDLE handle, std::int32_t channel, std::int32_t state) {
    const std::shared_ptr<U3Device> device = Find(handle);
    if (!device) {
        return LJE_INVALID_HANDLE;
    }
    return device->WriteLine(channel, state != 0);
}

std::optional<U3DeviceInfo> LabJackU3Daq::DeviceInfo(LJ_HANDLE handle) const {
    const std::shared_ptr<U3Device> device = Find(handle);
    return device ? std::optional(device->Info()) : std::nullopt;
}

std::optional<U3Fault> LabJackU3Daq::LastFault(LJ_HANDLE handle) const {
    const std::shared_ptr<U3Device> device = Find(handle);
    return device ? std::optional(device->LastFault()) : std::nullopt;
}

}  // namespace orvalt
