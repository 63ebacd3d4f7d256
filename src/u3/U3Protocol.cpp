#include "u3/U3Protocol.h"

#include <algorithm>

namespace orvalt::u3 {

namespace {

std::uint16_t ReadU16(ByteView bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t ReadU32(ByteView bytes, std::size_t at) {
    return static_cast<std::uint32_t>(ReadU16(bytes, at)) |
           (static_cast<std::uint32_t>(ReadU16(bytes, at + 2)) << 16);
}

// Hundredths byte first, whole-number byte second ({30, 1} is 1.30), as
// hundredths (130): the order the vendor's own driver reads on hardware.
std::uint16_t ReadVersion(ByteView bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at + 1] * 100 + bytes[at]);
}

// Frame checks shared by the commands whose reply has one fixed size and the
// device's error code in byte 6.
ReplyStatus CheckFixedReply(ByteView reply, std::uint8_t command, std::size_t size) {
    ReplyStatus status;
    status.fault = CheckExtendedReply(reply, command);
    if (status.fault == FrameFault::none && reply.size() != size) {
        status.fault = FrameFault::wrongSize;
    }
    if (status.fault == FrameFault::none) {
        status.errorcode = reply[6];
    }
    return status;
}

}  // namespace

std::uint8_t Checksum8(ByteView bytes) {
    unsigned sum = 0;
    for (std::uint8_t byte : bytes) {
        sum += byte;
    }
    sum = (sum & 0xFF) + (sum >> 8);
    sum = (sum & 0xFF) + (sum >> 8);
    return static_cast<std::uint8_t>(sum);
}

std::uint16_t Checksum16(ByteView bytes) {
    unsigned sum = 0;
    for (std::uint8_t byte : bytes) {
        sum += byte;
    }
    return static_cast<std::uint16_t>(sum);
}

std::size_t ExtendedFrameSize(std::size_t dataBytes) {
    return kHeaderSize + dataBytes + dataBytes % 2;
}

Bytes BuildExtendedFrame(std::uint8_t command, ByteView data) {
    Bytes frame(ExtendedFrameSize(data.size()), 0);
    std::copy(data.begin(), data.end(), frame.begin() + kHeaderSize);
    const std::uint16_t sum16 = Checksum16(ByteView(frame).subspan(kHeaderSize));
    frame[1] = kExtendedCommandByte;
    frame[2] = static_cast<std::uint8_t>((frame.size() - kHeaderSize) / 2);
    frame[3] = command;
    frame[4] = static_cast<std::uint8_t>(sum16 & 0xFF);
    frame[5] = static_cast<std::uint8_t>(sum16 >> 8);
    frame[0] = Checksum8(ByteView(frame).subspan(1, 5));
    return frame;
}

FrameFault CheckExtendedReply(ByteView reply, std::uint8_t command) {
    if (reply.size() == 2 && reply[0] == kBadChecksumByte && reply[1] == kBadChecksumByte) {
        return FrameFault::badChecksumReply;
    }
    if (reply.size() < kHeaderSize + 2) {
        return FrameFault::tooShort;
    }
    if (reply[1] != kExtendedCommandByte) {
        return FrameFault::notExtended;
    }
    if (reply.size() != kHeaderSize + 2u * reply[2]) {
        return FrameFault::lengthMismatch;
    }
    if (reply[0] != Checksum8(reply.subspan(1, 5))) {
        return FrameFault::checksum8;
    }
    if (ReadU16(reply, 4) != Checksum16(reply.subspan(kHeaderSize))) {
        return FrameFault::checksum16;
    }
    return reply[3] == command ? FrameFault::none : FrameFault::wrongCommand;
}

Bytes BuildConfigU3Read() {
    // WriteMask (bytes 6-7) 0: every other field is ignored and nothing is
    // written to flash.
    const std::array<std::uint8_t, 20> data{};
    return BuildExtendedFrame(kCmdConfigU3, data);
}

ReplyStatus ParseConfigU3(ByteView reply, U3Config& config) {
    ReplyStatus status = CheckFixedReply(reply, kCmdConfigU3, kConfigU3ReplySize);
    if (!status.Ok()) {
        return status;
    }
    config.firmwareVersion = ReadVersion(reply, 9);
    config.bootloaderVersion = ReadVersion(reply, 11);
    config.hardwareVersion = ReadVersion(reply, 13);
    config.serialNumber = ReadU32(reply, 15);
    config.productId = ReadU16(reply, 19);
    config.localId = reply[21];
    config.fioAnalog = reply[23];
    config.fioDirection = reply[24];
    config.fioState = reply[25];
    config.eioAnalog = reply[26];
    config.versionInfo = reply[37];
    return status;
}

std::string VersionText(std::uint16_t hundredths) {
    const unsigned fraction = hundredths % 100u;
    return std::to_string(hundredths / 100u)
        .append(fraction < 10 ? ".0" : ".")
        .append(std::to_string(fraction));
}

Bytes BuildConfigIo(std::uint8_t writeMask, const IoConfig& config) {
    const std::array<std::uint8_t, 6> data{
        writeMask,       0, config.timerCounterConfig, config.dac1Enable, config.fioAnalog,
        config.eioAnalog};
    return BuildExtendedFrame(kCmdConfigIO, data);
}

ReplyStatus ParseConfigIo(ByteView reply, IoConfig& config) {
    ReplyStatus status = CheckFixedReply(reply, kCmdConfigIO, kConfigIoReplySize);
    if (!status.Ok()) {
        return status;
    }
    config.timerCounterConfig = reply[8];
    config.dac1Enable = reply[9];
    config.fioAnalog = reply[10];
    config.eioAnalog = reply[11];
    return status;
}

std::uint16_t TimerCounterLines(std::uint8_t timerCounterConfig) {
    const unsigned offset = timerCounterConfig >> 4;
    const unsigned timers = std::min(timerCounterConfig & 0x03u, 2u);
    const unsigned counters = ((timerCounterConfig >> 2) & 1u) + ((timerCounterConfig >> 3) & 1u);
    unsigned lines = 0;
    for (unsigned line = offset; line < offset + timers + counters && line < 16; ++line) {
        lines |= 1u << line;
    }
    return static_cast<std::uint16_t>(lines);
}

Bytes BuildReadCal(std::uint8_t block) {
    const std::array<std::uint8_t, 2> data{0x00, block};
    return BuildExtendedFrame(kCmdReadCal, data);
}

ReplyStatus ParseReadCal(ByteView reply, CalBlock& block) {
    ReplyStatus status = CheckFixedReply(reply, kCmdReadCal, kReadCalReplySize);
    if (status.Ok()) {
        std::copy_n(reply.begin() + 8, block.size(), block.begin());
    }
    return status;
}

void AddAin(FeedbackRequest& request, std::uint8_t positive, std::uint8_t negative) {
    request.ioTypes.insert(request.ioTypes.end(),
                           {kIoTypeAin, static_cast<std::uint8_t>(positive & 0x1F), negative});
    request.readBytes += 2;
}

void AddBitDirWrite(FeedbackRequest& request, std::uint8_t line, bool output) {
    const auto value = static_cast<std::uint8_t>((line & 0x1F) | (output ? 0x80 : 0x00));
    request.ioTypes.insert(request.ioTypes.end(), {kIoTypeBitDirWrite, value});
}

void AddBitStateWrite(FeedbackRequest& request, std::uint8_t line, bool high) {
    const auto value = static_cast<std::uint8_t>((line & 0x1F) | (high ? 0x80 : 0x00));
    request.ioTypes.insert(request.ioTypes.end(), {kIoTypeBitStateWrite, value});
}

void AddPortStateWrite(FeedbackRequest& request, std::uint32_t mask, std::uint32_t state) {
    request.ioTypes.push_back(kIoTypePortStateWrite);
    for (std::uint32_t value : {mask, state}) {
        for (int shift = 0; shift < 24; shift += 8) {
            request.ioTypes.push_back(static_cast<std::uint8_t>(value >> shift));
        }
    }
}

Bytes BuildFeedback(std::uint8_t echo, const FeedbackRequest& request) {
    Bytes data;
    data.reserve(1 + request.ioTypes.size());
    data.push_back(echo);
    data.insert(data.end(), request.ioTypes.begin(), request.ioTypes.end());
    return BuildExtendedFrame(kCmdFeedback, data);
}

ReplyStatus ParseFeedback(ByteView reply, std::uint8_t echo, std::size_t readBytes, Bytes& data) {
    ReplyStatus status;
    status.fault = CheckExtendedReply(reply, kCmdFeedback);
    if (status.fault == FrameFault::none && reply.size() < ExtendedFrameSize(3)) {
        status.fault = FrameFault::tooShort;
    }
    if (status.fault == FrameFault::none && reply[8] != echo) {
        status.fault = FrameFault::wrongEcho;
    }
    if (status.fault != FrameFault::none) {
        return status;
    }
    status.errorcode = reply[6];
    status.errorFrame = reply[7];
    if (status.errorcode == 0 && reply.size() != ExtendedFrameSize(3 + readBytes)) {
        status.fault = FrameFault::wrongSize;
    }
    if (status.Ok()) {
        data.assign(reply.begin() + 9, reply.begin() + 9 + static_cast<std::ptrdiff_t>(readBytes));
    }
    return status;
}

}  // namespace orvalt::u3
