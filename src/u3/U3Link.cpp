#include "u3/U3Link.h"

#include <array>

namespace orvalt {

namespace {

// Short reads that sweep late replies away before the next command.
constexpr unsigned kDrainTimeoutMs = 10;
constexpr int kMaxDrainReads = 4;
// Feedback replies carrying an older echo that are skipped before giving up.
constexpr int kMaxStaleReplies = 3;

LJ_ERROR CodeOf(u3::FrameFault fault) {
    switch (fault) {
        case u3::FrameFault::badChecksumReply:
        case u3::FrameFault::checksum8:
        case u3::FrameFault::checksum16:
            return LJE_CHECKSUM_ERROR;
        default:
            return LJE_COMM_FAILURE;
    }
}

}  // namespace

U3Link::U3Link(std::unique_ptr<UsbTransport> transport, unsigned timeoutMs)
    : transport_(std::move(transport)), timeoutMs_(timeoutMs) {}

LJ_ERROR U3Link::ReadConfig(u3::U3Config& config) {
    return Run(u3::BuildConfigU3Read(),
               [&](const u3::Bytes& reply) { return u3::ParseConfigU3(reply, config); });
}

LJ_ERROR U3Link::ConfigureIo(std::uint8_t writeMask, u3::IoConfig& config) {
    return Run(u3::BuildConfigIo(writeMask, config),
               [&](const u3::Bytes& reply) { return u3::ParseConfigIo(reply, config); });
}

LJ_ERROR U3Link::ReadCal(std::uint8_t block, u3::CalBlock& data) {
    return Run(u3::BuildReadCal(block),
               [&](const u3::Bytes& reply) { return u3::ParseReadCal(reply, data); });
}

LJ_ERROR U3Link::Feedback(const u3::FeedbackRequest& request, u3::Bytes& data) {
    const std::uint8_t echo = ++echo_;
    u3::Bytes reply;
    if (LJ_ERROR error = Exchange(u3::BuildFeedback(echo, request), reply)) {
        return error;
    }
    u3::ReplyStatus status = u3::ParseFeedback(reply, echo, request.readBytes, data);
    for (int skipped = 0; status.fault == u3::FrameFault::wrongEcho && skipped < kMaxStaleReplies;
         ++skipped) {
        if (LJ_ERROR error = Receive(reply)) {
            return error;
        }
        status = u3::ParseFeedback(reply, echo, request.readBytes, data);
    }
    return Settle(status);
}

template <typename Parse>
LJ_ERROR U3Link::Run(const u3::Bytes& command, Parse parse) {
    u3::Bytes reply;
    if (LJ_ERROR error = Exchange(command, reply)) {
        return error;
    }
    return Settle(parse(reply));
}

LJ_ERROR U3Link::Exchange(const u3::Bytes& command, u3::Bytes& reply) {
    if (lost_) {
        return LJE_COMM_FAILURE;
    }
    DrainLateReplies();
    const UsbStatus written = transport_->Write(command, timeoutMs_);
    if (written != UsbStatus::ok) {
        return TransferFailed(written);
    }
    return Receive(reply);
}

LJ_ERROR U3Link::Receive(u3::Bytes& reply) {
    std::array<std::uint8_t, u3::kMaxFrameSize> buffer{};
    const Result<std::size_t, UsbStatus> read = transport_->Read(buffer, timeoutMs_);
    if (!read) {
        return TransferFailed(read.Error());
    }
    reply.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(*read));
    return LJE_NOERROR;
}

LJ_ERROR U3Link::Settle(const u3::ReplyStatus& status) {
    if (status.Ok()) {
        return LJE_NOERROR;
    }
    lastFault_ = {UsbStatus::ok, status.fault, status.errorcode, status.errorFrame};
    if (status.fault != u3::FrameFault::none) {
        unsettled_ = true;
        return CodeOf(status.fault);
    }
    // A sound reply in which the device refused the command. The UD driver's
    // own numbers for the device's codes are not published with the protocol,
    // so the code stays generic and the device's one is kept in LastFault.
    return LJE_UNKNOWN_ERROR;
}

LJ_ERROR U3Link::TransferFailed(UsbStatus status) {
    lastFault_ = {status, u3::FrameFault::none, 0, 0};
    if (status == UsbStatus::noDevice || status == UsbStatus::io) {
        lost_ = true;
        return LJE_COMM_FAILURE;
    }
    unsettled_ = true;
    return status == UsbStatus::timeout ? LJE_COMM_TIMEOUT : LJE_COMM_FAILURE;
}

void U3Link::DrainLateReplies() {
    if (!unsettled_) {
        return;
    }
    unsettled_ = false;
    std::array<std::uint8_t, u3::kMaxFrameSize> buffer{};
    for (int read = 0; read < kMaxDrainReads; ++read) {
        if (!transport_->Read(buffer, kDrainTimeoutMs)) {
            return;
        }
    }
}

}  // namespace orvalt
