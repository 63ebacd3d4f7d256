#pragma once
// The diagnostic serial link: listens on one serial port to the driver under
// test and posts every text line it sends to a window. Two threads (receive
// and dispatch) form a pipeline whose every wait also watches the stop
// signal, so CloseLink ends both at once. The threads, the failure reports and
// their wording: docs/design/diagnostic-link.md.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "diaglink/DiagRecorder.h"
#include "diaglink/ErrorReportLimiter.h"
#include "diaglink/LineFramer.h"
#include "domain/Messages.h"
#include "platform/Clock.h"
#include "platform/EventFd.h"
#include "platform/SerialDevice.h"
#include "platform/UniqueFd.h"

namespace orvalt {

class CDiagCommPort {
  public:
    // The receive, copy and read buffers; a line is at most one byte shorter.
    static constexpr std::size_t kBufferSize = 8192;
    static constexpr int kReceiveWaitMs = 5000;
    static constexpr int kDispatchWaitMs = 10000;
    // How long ReceiveTask rests after a failure before it looks again.
    static constexpr int kFailurePauseMs = 100;
    static constexpr int kOpenOk = 0;
    static constexpr int kOpenFailed = 3;

    // Lines go through `recorder` on the dispatch thread; without one they are
    // only decoded.
    explicit CDiagCommPort(DiagRecorder* recorder = nullptr) : recorder_(recorder) {}
    ~CDiagCommPort();
    CDiagCommPort(const CDiagCommPort&) = delete;
    CDiagCommPort& operator=(const CDiagCommPort&) = delete;

    // Opens the device at portPath (/dev/ttyUSB0, a pseudo-terminal's slave) at
    // 8N1 and baudRate and starts the threads, which post to `window`. False
    // when the link is already open or the device cannot be opened (in use, no
    // permission, not a terminal, a speed it cannot take); LastOpenError then
    // says why. A failed opening leaves the link closed.
    bool OpenLink(WindowHandle window, const std::string& portPath, std::int32_t baudRate);

    // Opens and configures the device alone: kOpenOk or kOpenFailed.
    int OpenDevice(const std::string& portPath, std::int32_t baudRate);

    // Stops and joins the threads and closes the device. Nothing when closed.
    void CloseLink();

    // Where DispatchTask learns how many of its lines the receiver dropped
    // since it last asked. Set before OpenLink.
    void SetDroppedLinesSource(std::function<std::size_t()> takeDropped) {
        takeDropped_ = std::move(takeDropped);
    }

    void SetNotificationWindow(WindowHandle window);
    void ClearNotificationWindow();

    bool IsOpen() const { return device_.Valid(); }
    // "open /dev/ttyUSB0: Permission denied", for instance; empty after success.
    const std::string& LastOpenError() const { return lastOpenError_; }

  private:
    struct ReceiveFailure {
        const char* step;
        int code;
    };
    struct ReceiveState {
        ErrorReportLimiter limiter;
        std::optional<LineErrorCounts> lineErrors;
    };

    bool CreateEvents();
    bool StartThreads();
    void StopThreads();

    void ReceiveTask();
    bool ReceiveOnce(ReceiveState& state);
    int ReceiveWaitMs(const ReceiveState& state);
    std::optional<ReceiveFailure> ReadPort(std::size_t room, ReceiveState& state);
    std::optional<ReceiveFailure> CheckLineErrors(ReceiveState& state);
    bool ReportFailure(ReceiveState& state, ReceiveFailure failure);
    void FlushHeldReports(ReceiveState& state);

    void DispatchTask();
    int DispatchWaitMs(const ErrorReportLimiter& drops);
    void ReportDroppedLines(ErrorReportLimiter& drops);
    void FramingPass();
    DiagLine Decode(std::string_view bytes);

    std::size_t FreeSpace();
    void AppendReceived(std::size_t count);
    std::size_t TakeSnapshot();
    void Compact(std::size_t consumed);

    void PostToWindow(PostedMessage message);

    UniqueFd device_;
    std::string lastOpenError_;

    std::mutex windowLock_;
    WindowHandle window_;

    DiagRecorder* recorder_ = nullptr;
    std::function<std::size_t()> takeDropped_;

    std::optional<EventFd> stopEvent_;
    std::optional<EventFd> dataEvent_;
    // Wakes ReceiveTask when DispatchTask has made room in a full buffer.
    std::optional<EventFd> spaceEvent_;

    // The receive lock guards receiveBuffer_ and receiveFill_.
    std::mutex receiveLock_;
    std::vector<char> receiveBuffer_;
    std::size_t receiveFill_ = 0;
    std::vector<char> copyBuffer_;  // DispatchTask's own
    std::vector<char> readBuffer_;  // ReceiveTask's own
    LineFramer framer_{kBufferSize};
    RealClock clock_;

    std::thread dispatchThread_;
    std::thread receiveThread_;
};

}  // namespace orvalt
