#include "u3/U3Device.h"

namespace orvalt {

namespace {

constexpr std::uint16_t kU3ProductIdValue = 3;
constexpr int kAnalogChannels = 16;
constexpr int kDigitalLines = 20;
constexpr std::uint8_t kOutputLinesMask = (1u << kPowerLine) | (1u << kMarkerLine);
constexpr std::uint16_t kStationLines = (1u << kLightLevelChannel) | kOutputLinesMask;

bool IsAnalog(std::uint16_t analogLines, int line) {
    return line < kAnalogChannels && ((analogLines >> line) & 1u) != 0;
}

// FIO0 analog, FIO4/FIO5 digital; timers and counters off if they would take
// one of the station's lines. Returns the ConfigIO write mask.
std::uint8_t StationIoConfig(u3::IoConfig& io) {
    std::uint8_t writeMask = u3::kWriteFioAnalog;
    io.fioAnalog = static_cast<std::uint8_t>((io.fioAnalog | 0x01) & ~kOutputLinesMask);
    if ((u3::TimerCounterLines(io.timerCounterConfig) & kStationLines) != 0) {
        io.timerCounterConfig &= 0xF0;  // keep the pin offset, enable nothing
        writeMask |= u3::kWriteTimerCounterConfig;
    }
    return writeMask;
}

bool StationIoTaken(const u3::IoConfig& io, u3::U3Model model) {
    const bool ainReady = model == u3::U3Model::hv || (io.fioAnalog & 0x01) != 0;
    return ainReady && (io.fioAnalog & kOutputLinesMask) == 0 &&
           (u3::TimerCounterLines(io.timerCounterConfig) & kStationLines) == 0;
}

}  // namespace

U3Device::U3Device(std::unique_ptr<UsbTransport> transport, unsigned timeoutMs)
    : link_(std::make_unique<U3Link>(std::move(transport), timeoutMs)) {}

U3Device::U3Device(std::unique_ptr<U3Link> link) : link_(std::move(link)) {}

LJ_ERROR U3Device::Prepare() {
    std::scoped_lock lock(mutex_);
    if (!link_) {
        return LJE_DEVICE_NOT_OPEN;
    }
    U3DeviceInfo info;
    LJ_ERROR error = Track(link_->ReadConfig(info.config));
    if (error == LJE_NOERROR && info.config.productId != kU3ProductIdValue) {
        error = LJE_INVALID_DEVICE_TYPE;
    }
    info.model = u3::ModelOf(info.config);
    if (error == LJE_NOERROR) {
        error = ReadCalibration(info.model, info.calibration);
    }
    if (error == LJE_NOERROR) {
        error = ConfigureLines(info.model, info.analogLines);
    }
    if (error == LJE_NOERROR) {
        info_ = info;
    }
    return error;
}

LJ_ERROR U3Device::ReadCalibration(u3::U3Model model, u3::U3Calibration& calibration) {
    u3::CalBlocks blocks{};
    for (std::uint8_t block : u3::CalBlocksNeeded(model)) {
        if (LJ_ERROR error = Track(link_->ReadCal(block, blocks[block]))) {
            return error;
        }
    }
    calibration = u3::DecodeCalibration(model, blocks);
    return LJE_NOERROR;
}

LJ_ERROR U3Device::ConfigureLines(u3::U3Model model, std::uint16_t& analogLines) {
    u3::IoConfig io;
    if (LJ_ERROR error = Track(link_->ConfigureIo(0, io))) {
        return error;
    }
    if (LJ_ERROR error = Track(link_->ConfigureIo(StationIoConfig(io), io))) {
        return error;
    }
    if (!StationIoTaken(io, model)) {
        return LJE_UNKNOWN_ERROR;
    }
    analogLines = static_cast<std::uint16_t>(io.fioAnalog | io.eioAnalog << 8);
    if (model == u3::U3Model::hv) {
        analogLines |= (1u << u3::kHvChannels) - 1;
    }
    u3::FeedbackRequest outputsLow;
    u3::AddPortStateWrite(outputsLow, kOutputLinesMask, 0);
    u3::Bytes none;
    return Feedback(outputsLow, none);
}

LJ_ERROR U3Device::ReadAin(int channel, double& volts) {
    std::scoped_lock lock(mutex_);
    if (!link_) {
        return LJE_DEVICE_NOT_OPEN;
    }
    if (channel < 0 || !IsAnalog(info_.analogLines, channel)) {
        return LJE_INVALID_CHANNEL_NUMBER;
    }
    u3::FeedbackRequest request;
    u3::AddAin(request, static_cast<std::uint8_t>(channel), u3::kSingleEnded);
    u3::Bytes data;
    if (LJ_ERROR error = Feedback(request, data)) {
        return error;
    }
    const auto bits = static_cast<std::uint16_t>(data[0] | data[1] << 8);
    volts = u3::AinToVolts(info_.calibration, info_.model, channel, bits);
    return LJE_NOERROR;
}

LJ_ERROR U3Device::WriteLine(int line, bool high) {
    std::scoped_lock lock(mutex_);
    if (!link_) {
        return LJE_DEVICE_NOT_OPEN;
    }
    if (line < 0 || line >= kDigitalLines || IsAnalog(info_.analogLines, line)) {
        return LJE_INVALID_CHANNEL_NUMBER;
    }
    // Lines 4 and 5 are outputs since Prepare, so the direction write changes
    // nothing there; any other line becomes an output here, as with the UD
    // driver.
    u3::FeedbackRequest request;
    u3::AddBitDirWrite(request, static_cast<std::uint8_t>(line), true);
    u3::AddBitStateWrite(request, static_cast<std::uint8_t>(line), high);
    u3::Bytes none;
    return Feedback(request, none);
}

LJ_ERROR U3Device::Feedback(const u3::FeedbackRequest& request, u3::Bytes& data) {
    return Track(link_->Feedback(request, data));
}

// Keeps the link's fault and lets the USB device go once it has vanished, so
// that the next open can claim it again.
LJ_ERROR U3Device::Track(LJ_ERROR error) {
    if (error != LJE_NOERROR) {
        lastFault_ = link_->LastFault();
    }
    if (link_->Lost()) {
        link_.reset();
    }
    return error;
}

bool U3Device::Connected() const {
    std::scoped_lock lock(mutex_);
    return link_ != nullptr;
}

void U3Device::Disconnect() {
    std::scoped_lock lock(mutex_);
    link_.reset();
}

U3DeviceInfo U3Device::Info() const {
    std::scoped_lock lock(mutex_);
    return info_;
}

U3Fault U3Device::LastFault() const {
    std::scoped_lock lock(mutex_);
    return lastFault_;
}

}  // namespace orvalt
