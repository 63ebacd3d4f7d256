#include "platform/ProcessSignals.h"

#include <csignal>

namespace orvalt {

namespace {

// A signal handler can reach only what is global; lock-free, so it may.
std::atomic<std::atomic<bool>*> stopTarget{nullptr};
std::atomic<std::atomic<bool>*> resizeTarget{nullptr};
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

void Raise(const std::atomic<std::atomic<bool>*>& flag) {
    if (std::atomic<bool>* target = flag.load()) {
        target->store(true);
    }
}

extern "C" void OnStopSignal(int) {
    Raise(stopTarget);
}

extern "C" void OnResizeSignal(int) {
    Raise(resizeTarget);
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

void StopOnTerminationSignals(std::atomic<bool>& stopRequest) {
    stopTarget = &stopRequest;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        Handle(signal, OnStopSignal);
    }
}

void NoteTerminalResizes(std::atomic<bool>& resized) {
    resizeTarget = &resized;
    Handle(SIGWINCH, OnResizeSignal);
}

}  // namespace orvalt
