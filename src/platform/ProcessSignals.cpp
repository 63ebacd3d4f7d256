#include "platform/ProcessSignals.h"

#include <csignal>

namespace orvalt {

namespace {

// A signal handler can reach only what is global; lock-free, so it may.
std::atomic<std::atomic<bool>*> stopTarget{nullptr};
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnStopSignal(int) {
    if (std::atomic<bool>* target = stopTarget.load()) {
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

void StopOnTerminationSignals(std::atomic<bool>& stopRequest) {
    stopTarget = &stopRequest;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        Handle(signal, OnStopSignal);
    }
}

}  // namespace orvalt
