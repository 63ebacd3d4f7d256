#include "platform/TerminationEvent.h"

#include <atomic>
#include <cerrno>

#include "platform/ProcessSignals.h"

namespace orvalt {

namespace {

// The handler may only write to a descriptor; it finds it here.
std::atomic<int> signalFd{-1};

// The wake-up's write may set errno; the interrupted code keeps its own.
extern "C" void OnTerminationSignal(int /*signal*/) {
    const int savedErrno = errno;
    if (const int fd = signalFd.load(); fd >= 0) {
        SignalEventFd(fd);
    }
    errno = savedErrno;
}

}  // namespace

TerminationEvent::TerminationEvent() {
    signalFd = event_.Fd();
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kTerminationSignals.size(); ++i) {
        sigaction(kTerminationSignals[i], &action, &previous_[i]);
    }
    installed_ = true;
}

TerminationEvent::~TerminationEvent() {
    LetGo();
}

void TerminationEvent::LetGo() {
    if (!installed_) {
        return;
    }
    for (std::size_t i = 0; i < kTerminationSignals.size(); ++i) {
        sigaction(kTerminationSignals[i], &previous_[i], nullptr);
    }
    signalFd = -1;
    installed_ = false;
}

}  // namespace orvalt
