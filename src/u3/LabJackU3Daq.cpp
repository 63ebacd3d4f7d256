#include "u3/LabJackU3Daq.h"

#include "platform/LibusbU3Connector.h"
#include "u3/U3Directory.h"

namespace orvalt {

namespace {

bool Wanted(const U3Device& device, std::string_view wanted) {
    return wanted.empty() || SerialNumberMatches(wanted, device.Info().config.serialNumber);
}

LJ_ERROR CheckOpenArguments(std::int32_t deviceType, std::int32_t connectionType,
                            const LJ_HANDLE* handle) {
    if (deviceType != LJ_dtU3) {
        return LJE_INVALID_DEVICE_TYPE;
    }
    if (connectionType != LJ_ctUSB) {
        return LJE_INVALID_CONNECTION_TYPE;
    }
    return handle == nullptr ? LJE_INVALID_PARAMETER : LJE_NOERROR;
}

// The serial number asked for, or empty for the first U3 found (an address
// of blanks asks for no particular one).
std::string_view WantedSerial(const char* address, std::int32_t firstFound) {
    const std::string_view text = firstFound == 0 && address != nullptr ? address : "";
    return AsksForAnyU3(text) ? std::string_view() : text;
}

}  // namespace

LabJackU3Daq::LabJackU3Daq() : LabJackU3Daq(std::make_unique<LibusbU3Connector>()) {}

LabJackU3Daq::LabJackU3Daq(std::unique_ptr<UsbConnector> connector, LabJackU3Options options)
    : connector_(std::move(connector)), options_(options) {}

LabJackU3Daq::~LabJackU3Daq() = default;

LJ_ERROR LabJackU3Daq::OpenLabJack(std::int32_t deviceType, std::int32_t connectionType,
                                   const char* address, std::int32_t firstFound,
                                   LJ_HANDLE* handle) {
    if (LJ_ERROR error = CheckOpenArguments(deviceType, connectionType, handle)) {
        return error;
    }
    const std::string_view wanted = WantedSerial(address, firstFound);
    std::scoped_lock lock(mutex_);
    if (PrepareHeldDevice(*handle, wanted)) {
        return LJE_NOERROR;
    }
    return OpenNewDevice(*handle, wanted);
}

// A device this object still holds is set up again for the new session. One
// that fails is released, so that a fresh claim below can reach it.
bool LabJackU3Daq::PrepareHeldDevice(LJ_HANDLE& handle, std::string_view wanted) {
    for (const auto& [held, device] : devices_) {
        if (!device->Connected() || !Wanted(*device, wanted)) {
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

std::shared_ptr<U3Device> LabJackU3Daq::ClaimDevice(std::string_view wanted, LJ_ERROR& error) {
    if (!wanted.empty()) {
        U3BySerial found = OpenU3BySerial(*connector_, wanted, options_.timeoutMs);
        error = found ? LJE_NOERROR : found.Error();
        return found ? std::make_shared<U3Device>(std::move(found).Value()) : nullptr;
    }
    UsbClaim opened = connector_->OpenFirstU3();
    error = opened ? LJE_NOERROR : OpenFailureCode(opened.Error());
    return opened ? std::make_shared<U3Device>(std::move(opened).Value(), options_.timeoutMs)
                  : nullptr;
}

LJ_ERROR LabJackU3Daq::OpenNewDevice(LJ_HANDLE& handle, std::string_view wanted) {
    LJ_ERROR claimed = LJE_NOERROR;
    const std::shared_ptr<U3Device> device = ClaimDevice(wanted, claimed);
    if (!device) {
        return claimed;
    }
    if (LJ_ERROR error = device->Prepare()) {
        return error;  // the device goes with the object: its claim is released
    }
    handle = HandleFor(device->Info().config.serialNumber);
    devices_[handle] = device;
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

DaqIdentity LabJackU3Daq::Identity(LJ_HANDLE handle) const {
    const std::shared_ptr<U3Device> device = Find(handle);
    if (!device || !device->Connected()) {
        return {};
    }
    const U3DeviceInfo info = device->Info();
    return {std::to_string(info.config.serialNumber), u3::VersionText(info.config.firmwareVersion)};
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
