#include "platform/ProcessSignals.h"

#include <pthread.h>

#include <cerrno>
#include <thread>

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

sigset_t TerminationSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kTerminationSignals) {
        sigaddset(&set, signal);
    }
    return set;
}

// Takes the blocked termination signals one by one for as long as the
// program runs; at its end it is woken by a signal of its own and joined.
class TerminationSignalWaiter {
  public:
    TerminationSignalWaiter() : thread_([this] { Wait(); }) {}
    ~TerminationSignalWaiter() {
        ending_ = true;
        pthread_kill(thread_.native_handle(), kTerminationSignals.front());
        thread_.join();
    }
    TerminationSignalWaiter(const TerminationSignalWaiter&) = delete;
    TerminationSignalWaiter& operator=(const TerminationSignalWaiter&) = delete;

  private:
    void Wait() {
        const sigset_t set = TerminationSet();
        int signal = 0;
        while (sigwait(&set, &signal) == 0 && !ending_) {
            if (StopRequest* target = stopTarget.load()) {
                target->Request();
            }
        }
    }

    std::atomic<bool> ending_{false};
    std::thread thread_;
};

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
    // A thread started before still takes a signal in the handler.
    for (const int signal : kTerminationSignals) {
        Handle(signal, OnStopSignal);
    }
    const sigset_t set = TerminationSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    static TerminationSignalWaiter waiter;
}

void NoteTerminalResizes(std::atomic<bool>& resized) {
    resizeTarget = &resized;
    Handle(SIGWINCH, OnResizeSignal);
}

}  // namespace orvalt
