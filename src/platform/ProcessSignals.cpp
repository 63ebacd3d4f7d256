#include "platform/ProcessSignals.h"

#include <cerrno>

namespace orvalt {

namespace {

// A signal handler can reach only what is global; lock-free, so it may.
std::atomic<StopRequest*> stopTarget{nullptr};
std::atomic<std::atomic<bool>*> resizeTarget{nullptr};
static_assert(std::atomic<StopRequest*>::is_always_lock_free);
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

// The wake-up's write may set errno; the interrupted code keeps its own.
extern "C" void OnStopSignal(int) {
    const int savedErrno = errno;
    if (StopRequest* target = stopTarget.load()) {
        target->Request();
    }
    errno = savedErrno;
}

extern "C" void OnResizeSignal(int) {
    if (std::atomic<bool>* target = resizeTarget.load()) {
        target->store(true);
    }
}

void Handle(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

}  // namespace

void IgnoreWriteSignals() {
    Handle(SIGPIPE, SIG_IGN);
    Handle(SIGXFSZ, SIG_IGN);
}

void StopOnTerminationSignals(StopRequest& stopRequest) {
    stopTarget = &stopRequest;
    for (const int signal : kTerminationSignals) {
        Handle(signal, OnStopSignal);
    }
}

void NoteTerminalResizes(std::atomic<bool>& resized) {
    resizeTarget = &resized;
    Handle(SIGWINCH, OnResizeSignal);
}

}  // namespace orvalt
