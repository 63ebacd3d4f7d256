#include "support/SimulatedU3Usb.h"

#include <algorithm>

namespace orvalt {

namespace {

using u3::Bytes;
using ByteView = std::span<const std::uint8_t>;

// A nonzero code for an IOType the simulated firmware does not know.
constexpr std::uint8_t kUnknownIoTypeError = 5;
constexpr std::uint32_t kAllLines = 0xFFFFF;

std::uint8_t VersionInfoOf(const SimulatedU3Traits& traits) {
    if (traits.hardwareVersion < u3::kFirstHvHardware) {
        return 1;
    }
    return traits.model == u3::U3Model::hv ? 18 : 2;
}

void PutU32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t LineBits(ByteView bytes) {
    return static_cast<std::uint32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16);
}

bool SoundCommand(ByteView frame) {
    return frame.size() >= u3::kHeaderSize && frame[1] == u3::kExtendedCommandByte &&
           frame.size() == u3::kHeaderSize + 2u * frame[2] &&
           frame[0] == u3::Checksum8(frame.subspan(1, 5)) &&
           (frame[4] | frame[5] << 8) == u3::Checksum16(frame.subspan(u3::kHeaderSize));
}

Bytes Damaged(Bytes reply, ReplyFault fault) {
    switch (fault) {
        case ReplyFault::badChecksum:
            reply[4] ^= 0x5A;
            break;
        case ReplyFault::truncated:
            reply.resize(reply.size() - 2);
            break;
        case ReplyFault::garbage:
            reply = {0x13, 0x37, 0x00, 0xFF, 0x42};
            break;
        default:
            break;
    }
    return reply;
}

class SimulatedU3Transport final : public UsbTransport {
  public:
    SimulatedU3Transport(std::shared_ptr<SimulatedU3Usb> device, std::uint64_t generation)
        : device_(std::move(device)), generation_(generation) {}
    ~SimulatedU3Transport() override { device_->Release(generation_); }
    SimulatedU3Transport(const SimulatedU3Transport&) = delete;
    SimulatedU3Transport& operator=(const SimulatedU3Transport&) = delete;

    UsbStatus Write(std::span<const std::uint8_t> frame, unsigned /*timeoutMs*/) override {
        return device_->Receive(frame, generation_);
    }
    Result<std::size_t, UsbStatus> Read(std::span<std::uint8_t> buffer,
                                        unsigned /*timeoutMs*/) override {
        return device_->Deliver(buffer, generation_);
    }

  private:
    std::shared_ptr<SimulatedU3Usb> device_;
    std::uint64_t generation_;
};

class SimulatedU3Connector final : public UsbConnector {
  public:
    explicit SimulatedU3Connector(std::shared_ptr<SimulatedU3Bus::State> state)
        : state_(std::move(state)) {}

    UsbStatus VisitEachU3(const U3Visit& visit) override {
        for (const auto& device : Devices()) {
            UsbClaim claim = ClaimOf(device);
            if (!(!claim && claim.Error() == UsbStatus::notFound) && visit(claim)) {
                break;
            }
        }
        return AccessDenied() ? UsbStatus::access : UsbStatus::ok;
    }

  private:
    UsbClaim ClaimOf(const std::shared_ptr<SimulatedU3Usb>& device) const {
        if (AccessDenied()) {
            return Fail(UsbStatus::access);
        }
        std::uint64_t generation = 0;
        const UsbStatus claimed = device->Claim(generation);
        if (claimed != UsbStatus::ok) {
            return Fail(claimed);
        }
        return UsbClaim(std::make_unique<SimulatedU3Transport>(device, generation));
    }

    // A copy, so that no lock is held while a visit runs.
    std::vector<std::shared_ptr<SimulatedU3Usb>> Devices() const {
        std::scoped_lock lock(state_->mutex);
        return state_->devices;
    }
    bool AccessDenied() const {
        std::scoped_lock lock(state_->mutex);
        return state_->accessDenied;
    }

    std::shared_ptr<SimulatedU3Bus::State> state_;
};

}  // namespace

SimulatedU3Usb::SimulatedU3Usb(SimulatedU3Traits traits)
    : traits_(traits), calibrationMemory_(u3::EncodeCalibration(traits.calibration)) {
    if (traits.calibrationErased) {
        for (u3::CalBlock& block : calibrationMemory_) {
            block.fill(0xFF);
        }
    }
}

void SimulatedU3Usb::SetInputVolts(int channel, double volts) {
    std::scoped_lock lock(mutex_);
    inputVolts_.at(static_cast<std::size_t>(channel)) = volts;
}

bool SimulatedU3Usb::LineIsOutput(int line) const {
    std::scoped_lock lock(mutex_);
    return ((directions_ >> line) & 1u) != 0;
}

bool SimulatedU3Usb::LineIsHigh(int line) const {
    std::scoped_lock lock(mutex_);
    return ((states_ >> line) & 1u) != 0;
}

std::uint8_t SimulatedU3Usb::FioAnalog() const {
    std::scoped_lock lock(mutex_);
    return fioAnalog_;
}

std::uint8_t SimulatedU3Usb::TimerCounterConfig() const {
    std::scoped_lock lock(mutex_);
    return timerCounterConfig_;
}

void SimulatedU3Usb::SetTimerCounterConfig(std::uint8_t config) {
    std::scoped_lock lock(mutex_);
    timerCounterConfig_ = config;
}

int SimulatedU3Usb::FlashWrites() const {
    std::scoped_lock lock(mutex_);
    return flashWrites_;
}

std::vector<std::vector<std::uint8_t>> SimulatedU3Usb::ReceivedCommands() const {
    std::scoped_lock lock(mutex_);
    return {received_.begin(), received_.end()};
}

void SimulatedU3Usb::Unplug() {
    std::scoped_lock lock(mutex_);
    plugged_ = false;
    claimed_ = false;
    ++generation_;
    replies_.clear();
    lateReplies_.clear();
}

void SimulatedU3Usb::Plug() {
    std::scoped_lock lock(mutex_);
    plugged_ = true;
}

void SimulatedU3Usb::InjectReplyFault(ReplyFault fault, int count) {
    std::scoped_lock lock(mutex_);
    faults_.insert(faults_.end(), static_cast<std::size_t>(count), fault);
}

void SimulatedU3Usb::FailNextFeedback(std::uint8_t errorcode) {
    std::scoped_lock lock(mutex_);
    feedbackFailure_ = errorcode;
}

UsbStatus SimulatedU3Usb::Claim(std::uint64_t& generation) {
    std::scoped_lock lock(mutex_);
    if (!plugged_) {
        return UsbStatus::notFound;
    }
    if (claimed_) {
        return UsbStatus::busy;
    }
    claimed_ = true;
    generation = generation_;
    return UsbStatus::ok;
}

void SimulatedU3Usb::Release(std::uint64_t generation) {
    std::scoped_lock lock(mutex_);
    if (generation == generation_) {
        claimed_ = false;
    }
}

bool SimulatedU3Usb::Reachable(std::uint64_t generation) const {
    return plugged_ && generation == generation_;
}

UsbStatus SimulatedU3Usb::Receive(std::span<const std::uint8_t> frame, std::uint64_t generation) {
    std::scoped_lock lock(mutex_);
    if (!Reachable(generation)) {
        return UsbStatus::noDevice;
    }
    if (received_.size() == kCommandLogSize) {
        received_.pop_front();
    }
    received_.emplace_back(frame.begin(), frame.end());
    Bytes reply = Answer(frame);
    if (!reply.empty()) {
        Queue(std::move(reply));
    }
    return UsbStatus::ok;
}

void SimulatedU3Usb::Queue(Bytes reply) {
    const ReplyFault fault = faults_.empty() ? ReplyFault::none : faults_.front();
    if (!faults_.empty()) {
        faults_.pop_front();
    }
    if (fault == ReplyFault::late) {
        lateReplies_.push_back(std::move(reply));
    } else if (fault != ReplyFault::dropped) {
        replies_.push_back(Damaged(std::move(reply), fault));
    }
}

Result<std::size_t, UsbStatus> SimulatedU3Usb::Deliver(std::span<std::uint8_t> buffer,
                                                       std::uint64_t generation) {
    std::scoped_lock lock(mutex_);
    if (!Reachable(generation)) {
        return Fail(UsbStatus::noDevice);
    }
    if (replies_.empty()) {
        // The read times out; a late reply arrives only afterwards.
        replies_.swap(lateReplies_);
        return Fail(UsbStatus::timeout);
    }
    Bytes reply = std::move(replies_.front());
    replies_.pop_front();
    if (reply.size() > buffer.size()) {
        return Fail(UsbStatus::failed);
    }
    std::copy(reply.begin(), reply.end(), buffer.begin());
    return reply.size();
}

Bytes SimulatedU3Usb::Answer(std::span<const std::uint8_t> frame) {
    if (frame.size() < 2 || frame[1] != u3::kExtendedCommandByte) {
        return {};  // normal commands are not simulated: no reply
    }
    if (!SoundCommand(frame)) {
        return {u3::kBadChecksumByte, u3::kBadChecksumByte};
    }
    switch (frame[3]) {
        case u3::kCmdConfigU3:
            return AnswerConfigU3(frame);
        case u3::kCmdConfigIO:
            return AnswerConfigIo(frame);
        case u3::kCmdReadCal:
            return AnswerReadCal(frame);
        case u3::kCmdFeedback:
            return AnswerFeedback(frame);
        default:
            return {};
    }
}

Bytes SimulatedU3Usb::AnswerConfigU3(std::span<const std::uint8_t> frame) {
    if (frame.size() > 7 && (frame[6] != 0 || frame[7] != 0)) {
        ++flashWrites_;
    }
    Bytes data(32, 0);
    // Each version: hundredths first, then the whole number.
    data[3] = static_cast<std::uint8_t>(traits_.firmwareVersion % 100);
    data[4] = static_cast<std::uint8_t>(traits_.firmwareVersion / 100);
    data[7] = static_cast<std::uint8_t>(traits_.hardwareVersion % 100);
    data[8] = static_cast<std::uint8_t>(traits_.hardwareVersion / 100);
    PutU32(data, 9, traits_.serialNumber);
    data[13] = static_cast<std::uint8_t>(traits_.productId);
    data[14] = static_cast<std::uint8_t>(traits_.productId >> 8);
    data[15] = 1;  // LocalID
    data[17] = fioAnalog_;
    data[18] = static_cast<std::uint8_t>(directions_);
    data[19] = static_cast<std::uint8_t>(states_);
    data[20] = eioAnalog_;
    data[31] = VersionInfoOf(traits_);
    return u3::BuildExtendedFrame(u3::kCmdConfigU3, data);
}

Bytes SimulatedU3Usb::AnswerConfigIo(std::span<const std::uint8_t> frame) {
    const std::uint8_t mask = frame[6];
    if ((mask & u3::kWriteTimerCounterConfig) != 0) {
        timerCounterConfig_ = frame[8];
    }
    if ((mask & u3::kWriteDac1Enable) != 0) {
        dac1Enable_ = frame[9];
    }
    if ((mask & u3::kWriteFioAnalog) != 0) {
        fioAnalog_ = frame[10];
    }
    if ((mask & u3::kWriteEioAnalog) != 0) {
        eioAnalog_ = frame[11];
    }
    const std::array<std::uint8_t, 6> data{0,           0,          timerCounterConfig_,
                                           dac1Enable_, fioAnalog_, eioAnalog_};
    return u3::BuildExtendedFrame(u3::kCmdConfigIO, data);
}

Bytes SimulatedU3Usb::AnswerReadCal(std::span<const std::uint8_t> frame) {
    const std::size_t block = frame[7];
    Bytes data(34, 0);
    if (block < calibrationMemory_.size()) {
        std::copy(calibrationMemory_[block].begin(), calibrationMemory_[block].end(),
                  data.begin() + 2);
    }
    return u3::BuildExtendedFrame(u3::kCmdReadCal, data);
}

Bytes SimulatedU3Usb::AnswerFeedback(std::span<const std::uint8_t> frame) {
    Bytes data{0, 0, frame[6]};  // Errorcode, ErrorFrame, Echo
    std::uint8_t ioTypes = 0;
    std::size_t dataBeforeLast = data.size();
    for (std::size_t at = 7; at < frame.size() && !(frame[at] == 0 && at + 1 == frame.size());) {
        ++ioTypes;
        dataBeforeLast = data.size();
        const std::size_t length = RunIoType(frame, at, data);
        if (length == 0) {
            data[0] = kUnknownIoTypeError;
            data[1] = ioTypes;
            break;
        }
        at += length;
    }
    if (feedbackFailure_ != 0 && data[0] == 0) {
        // Only the IOTypes before the failed one leave data in the reply.
        data.resize(dataBeforeLast);
        data[0] = feedbackFailure_;
        data[1] = ioTypes;
    }
    feedbackFailure_ = 0;
    return u3::BuildExtendedFrame(u3::kCmdFeedback, data);
}

std::size_t SimulatedU3Usb::RunIoType(std::span<const std::uint8_t> frame, std::size_t at,
                                      Bytes& data) {
    const auto has = [&](std::size_t bytes) { return at + bytes <= frame.size(); };
    const std::uint8_t type = frame[at];
    if (type == u3::kIoTypeAin && has(3)) {
        const int channel = frame[at + 1] & 0x1F;
        const double volts = channel < 16 ? inputVolts_[static_cast<std::size_t>(channel)] : 0.0;
        const std::uint16_t bits =
            u3::VoltsToAin(traits_.calibration, traits_.model, channel, volts);
        data.push_back(static_cast<std::uint8_t>(bits));
        data.push_back(static_cast<std::uint8_t>(bits >> 8));
        return 3;
    }
    if ((type == u3::kIoTypeBitStateWrite || type == u3::kIoTypeBitDirWrite) && has(2)) {
        std::uint32_t& bits = type == u3::kIoTypeBitDirWrite ? directions_ : states_;
        const std::uint32_t line = 1u << (frame[at + 1] & 0x1F);
        bits = (frame[at + 1] & 0x80) != 0 ? bits | line : bits & ~line;
        return 2;
    }
    if (type == u3::kIoTypePortStateWrite && has(7)) {
        const std::uint32_t mask = LineBits(frame.subspan(at + 1, 3)) & kAllLines;
        states_ = (states_ & ~mask) | (LineBits(frame.subspan(at + 4, 3)) & mask);
        directions_ |= mask;
        return 7;
    }
    return 0;
}

SimulatedU3Bus::SimulatedU3Bus() : state_(std::make_shared<State>()) {}

std::shared_ptr<SimulatedU3Usb> SimulatedU3Bus::PlugIn(SimulatedU3Traits traits) {
    auto device = std::make_shared<SimulatedU3Usb>(traits);
    std::scoped_lock lock(state_->mutex);
    state_->devices.push_back(device);
    return device;
}

void SimulatedU3Bus::DenyAccess(bool denied) {
    std::scoped_lock lock(state_->mutex);
    state_->accessDenied = denied;
}

std::unique_ptr<UsbConnector> SimulatedU3Bus::Connector() const {
    return std::make_unique<SimulatedU3Connector>(state_);
}

}  // namespace orvalt
