#include "platform/StopRequestWatcher.h"

#include "platform/PollWait.h"

namespace orvalt {

StopRequestWatcher::StopRequestWatcher(StopRequest& request, std::function<void()> wake)
    : request_(request), wake_(std::move(wake)), thread_([this] { Watch(); }) {}

StopRequestWatcher::~StopRequestWatcher() {
    quit_.Signal();
    thread_.join();
}

// The quit event comes first, so that an end is never taken for a request.
void StopRequestWatcher::Watch() {
    while (true) {
        const PollOutcome outcome = WaitForAny({quit_.Fd(), request_.WakeFd()}, -1);
        if (outcome.kind != PollOutcome::Ready || outcome.index == 0) {
            return;
        }
        request_.DrainWake();
        wake_();
    }
}

}  // namespace orvalt
