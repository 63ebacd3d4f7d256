#include "ui/TerminationSignals.h"

#include <atomic>
#include <cstdint>

namespace orvalt {

namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

// The handler may only write to a descriptor; it finds it here.
std::atomic<int> signalFd{-1};

extern "C" void OnTerminationSignal(int /*signal*/) {
    const int fd = signalFd.load();
    if (fd >= 0) {
        SignalEventFd(fd);
    }
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal)
    : notifier_(event_.Fd(), QSocketNotifier::Read), onSignal_(std::move(onSignal)) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] {
        event_.Drain();
        Restore();
        onSignal_();
    });
    signalFd = event_.Fd();
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        sigaction(kSignals[i], &action, &previous_[i]);
    }
    installed_ = true;
}

TerminationSignals::~TerminationSignals() {
    Restore();
}

void TerminationSignals::Restore() {
    if (!installed_) {
        return;
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        sigaction(kSignals[i], &previous_[i], nullptr);
    }
    signalFd = -1;
    installed_ = false;
}

}  // namespace orvalt
