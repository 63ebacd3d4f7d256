#include "diaglink/CDiagCommPort.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <system_error>

#include "domain/Format.h"
#include "platform/PollWait.h"

namespace orvalt {

namespace {
constexpr const char* kLongLineText = "DispatchTask: line longer than 8191 bytes dropped";
constexpr const char* kDroppedLineText = "DispatchTask: queue full, oldest diagnostic line dropped";

// A wait that ends no later than the held reports are due.
int WaitUntilFlush(const ErrorReportLimiter& limiter, std::uint32_t nowMs, int longestMs) {
    const auto flushIn = limiter.MsUntilFlush(nowMs);
    return flushIn ? static_cast<int>(std::min<std::uint32_t>(*flushIn, longestMs)) : longestMs;
}

bool StopSignalled(const PollOutcome& outcome) {
    return outcome.kind == PollOutcome::Ready && outcome.index == 0;
}

std::string OpenFailureReason(const SerialOpenError& failed) {
    if (!failed.detail.empty()) {
        return failed.detail;
    }
    return failed.step == "baud rate" ? "not supported" : std::strerror(failed.error);
}
}  // namespace

CDiagCommPort::~CDiagCommPort() {
    CloseLink();
}

void CDiagCommPort::SetNotificationWindow(WindowHandle window) {
    std::scoped_lock lock(windowLock_);
    window_ = std::move(window);
}

void CDiagCommPort::ClearNotificationWindow() {
    SetNotificationWindow(nullptr);
}

// Posting under the window lock means that once ClearNotificationWindow has
// returned, no post is still on its way.
void CDiagCommPort::PostToWindow(PostedMessage message) {
    std::scoped_lock lock(windowLock_);
    if (window_) {
        window_->Post(std::move(message));
    }
}

int CDiagCommPort::OpenDevice(const std::string& portPath, std::int32_t baudRate) {
    if (IsOpen()) {
        lastOpenError_ = "the diagnostic link is already open";
        return kOpenFailed;
    }
    auto opened = OpenSerialDevice(portPath, baudRate);
    if (!opened) {
        lastOpenError_ = Format("%s %s: %s", opened.Error().step.c_str(), portPath.c_str(),
                                OpenFailureReason(opened.Error()).c_str());
        return kOpenFailed;
    }
    lastOpenError_.clear();
    device_ = std::move(opened).Value();
    return kOpenOk;
}

bool CDiagCommPort::OpenLink(WindowHandle window, const std::string& portPath,
                             std::int32_t baudRate) {
    if (IsOpen()) {
        lastOpenError_ = "the diagnostic link is already open";
        return false;
    }
    SetNotificationWindow(std::move(window));
    if (OpenDevice(portPath, baudRate) != kOpenOk || !CreateEvents() || !StartThreads()) {
        ClearNotificationWindow();
        device_.Reset();
        return false;
    }
    return true;
}

bool CDiagCommPort::CreateEvents() {
    stopEvent_.emplace();
    dataEvent_.emplace();
    spaceEvent_.emplace();
    if (!stopEvent_->Valid() || !dataEvent_->Valid() || !spaceEvent_->Valid()) {
        lastOpenError_ = Format("eventfd: %s", std::strerror(errno));
        return false;
    }
    receiveBuffer_.assign(kBufferSize, '\0');
    copyBuffer_.assign(kBufferSize, '\0');
    readBuffer_.assign(kBufferSize, '\0');
    receiveFill_ = 0;
    framer_.Reset();
    return true;
}

bool CDiagCommPort::StartThreads() {
    try {
        dispatchThread_ = std::thread([this] { DispatchTask(); });
        receiveThread_ = std::thread([this] { ReceiveTask(); });
    } catch (const std::system_error& error) {
        lastOpenError_ = Format("thread: %s", error.what());
        StopThreads();
        return false;
    }
    return true;
}

void CDiagCommPort::StopThreads() {
    if (stopEvent_) {
        stopEvent_->Signal();
    }
    for (auto* thread : {&receiveThread_, &dispatchThread_}) {
        if (thread->joinable()) {
            thread->join();
        }
    }
}

void CDiagCommPort::CloseLink() {
    if (!IsOpen()) {
        return;
    }
    ClearNotificationWindow();
    StopThreads();
    stopEvent_.reset();
    dataEvent_.reset();
    spaceEvent_.reset();
    receiveBuffer_ = {};
    copyBuffer_ = {};
    readBuffer_ = {};
    device_.Reset();
}

// ---- ReceiveTask ----

void CDiagCommPort::ReceiveTask() {
    ReceiveState state;
    state.lineErrors = ReadLineErrorCounts(device_.Get());
    while (ReceiveOnce(state)) {
    }
}

// One wait and what follows it; false once the stop signal came.
bool CDiagCommPort::ReceiveOnce(ReceiveState& state) {
    const std::size_t room = FreeSpace();
    // A full buffer is not read into: the bytes wait in the driver until
    // DispatchTask has framed what it holds.
    const int watched = room > 0 ? device_.Get() : spaceEvent_->Fd();
    const auto outcome = WaitForAny({stopEvent_->Fd(), watched}, ReceiveWaitMs(state));
    if (StopSignalled(outcome)) {
        return false;
    }
    FlushHeldReports(state);
    if (outcome.kind == PollOutcome::Failed) {
        return ReportFailure(state, {"poll", outcome.error});
    }
    if (outcome.kind == PollOutcome::TimedOut) {
        return true;
    }
    if (room == 0) {
        spaceEvent_->Drain();
        return true;
    }
    const auto failure = ReadPort(room, state);
    return failure ? ReportFailure(state, *failure) : true;
}

int CDiagCommPort::ReceiveWaitMs(const ReceiveState& state) {
    return WaitUntilFlush(state.limiter, clock_.NowMs(), kReceiveWaitMs);
}

std::optional<CDiagCommPort::ReceiveFailure> CDiagCommPort::ReadPort(std::size_t room,
                                                                     ReceiveState& state) {
    const auto read = ReadDevice(device_.Get(), readBuffer_.data(), std::min(room, kBufferSize));
    if (read && *read > 0) {
        AppendReceived(*read);
        return CheckLineErrors(state);
    }
    if (read) {
        // With VMIN 1 an empty read can only be the far end gone.
        return ReceiveFailure{"hangup", EIO};
    }
    if (read.Error() == EAGAIN || read.Error() == EINTR) {
        return std::nullopt;
    }
    return ReceiveFailure{"read", read.Error()};
}

std::optional<CDiagCommPort::ReceiveFailure> CDiagCommPort::CheckLineErrors(ReceiveState& state) {
    if (!state.lineErrors) {
        return std::nullopt;
    }
    const auto now = ReadLineErrorCounts(device_.Get());
    if (!now) {
        return std::nullopt;
    }
    const std::uint32_t flags = NewLineErrors(*state.lineErrors, *now);
    state.lineErrors = now;
    if (flags == 0) {
        return std::nullopt;
    }
    return ReceiveFailure{"LineStatus", static_cast<int>(flags)};
}

// Reports through the rate limit, then rests a moment so that a failure that
// repeats at once does not spin. False when the stop signal came meanwhile.
bool CDiagCommPort::ReportFailure(ReceiveState& state, ReceiveFailure failure) {
    auto text = Format("ReceiveTask: %s error[%d]", failure.step, failure.code);
    if (auto report = state.limiter.Failure(std::move(text), clock_.NowMs())) {
        PostToWindow(LinkErrorMessage{std::move(*report)});
    }
    return !StopSignalled(WaitForAny({stopEvent_->Fd()}, kFailurePauseMs));
}

void CDiagCommPort::FlushHeldReports(ReceiveState& state) {
    if (auto report = state.limiter.Flush(clock_.NowMs())) {
        PostToWindow(LinkErrorMessage{std::move(*report)});
    }
}

// ---- the receive buffer ----

std::size_t CDiagCommPort::FreeSpace() {
    std::scoped_lock lock(receiveLock_);
    return kBufferSize - receiveFill_;
}

// A chunk that does not fit is dropped whole; the read is sized to the free
// space, so that only happens if that rule is ever broken.
void CDiagCommPort::AppendReceived(std::size_t count) {
    {
        std::scoped_lock lock(receiveLock_);
        if (receiveFill_ + count > kBufferSize) {
            return;
        }
        std::copy_n(readBuffer_.begin(), count, receiveBuffer_.begin() + receiveFill_);
        receiveFill_ += count;
    }
    dataEvent_->Signal();
}

std::size_t CDiagCommPort::TakeSnapshot() {
    std::scoped_lock lock(receiveLock_);
    std::copy_n(receiveBuffer_.begin(), receiveFill_, copyBuffer_.begin());
    return receiveFill_;
}

void CDiagCommPort::Compact(std::size_t consumed) {
    {
        std::scoped_lock lock(receiveLock_);
        std::copy(receiveBuffer_.begin() + consumed, receiveBuffer_.begin() + receiveFill_,
                  receiveBuffer_.begin());
        receiveFill_ -= consumed;
    }
    spaceEvent_->Signal();
}

// ---- DispatchTask ----

void CDiagCommPort::DispatchTask() {
    ErrorReportLimiter drops;
    for (;;) {
        const auto outcome =
            WaitForAny({stopEvent_->Fd(), dataEvent_->Fd()}, DispatchWaitMs(drops));
        if (StopSignalled(outcome) || outcome.kind == PollOutcome::Failed) {
            return;
        }
        dataEvent_->Drain();
        FramingPass();
        ReportDroppedLines(drops);
    }
}

// Wakes in time to report the drops held back once the line falls quiet.
int CDiagCommPort::DispatchWaitMs(const ErrorReportLimiter& drops) {
    return WaitUntilFlush(drops, clock_.NowMs(), kDispatchWaitMs);
}

void CDiagCommPort::ReportDroppedLines(ErrorReportLimiter& drops) {
    const std::size_t dropped = takeDropped_ ? takeDropped_() : 0;
    const int count = static_cast<int>(std::min<std::size_t>(dropped, INT_MAX));
    auto report = count > 0 ? drops.Failure(kDroppedLineText, clock_.NowMs(), count)
                            : drops.Flush(clock_.NowMs());
    if (report) {
        PostToWindow(LinkErrorMessage{std::move(*report)});
    }
}

void CDiagCommPort::FramingPass() {
    const std::size_t count = TakeSnapshot();
    const auto result = framer_.Pass(
        std::string_view(copyBuffer_.data(), count),
        [this](std::string_view line) { PostToWindow(DiagLineMessage{Decode(line)}); });
    if (result.longLineDropped) {
        PostToWindow(LinkErrorMessage{kLongLineText});
    }
    if (result.consumed > 0) {
        Compact(result.consumed);
    }
}

DiagLine CDiagCommPort::Decode(std::string_view bytes) {
    return recorder_ ? recorder_->Record(bytes) : DecodeReceivedLine(bytes, clock_.NowMs());
}

}  // namespace orvalt
