#pragma once
// Turns each stop request into a call on a thread of its own, so that a loop
// sleeping on something a signal handler cannot touch (a condition variable)
// is woken at once by a signal.

#include <functional>
#include <thread>

#include "platform/EventFd.h"
#include "platform/StopRequest.h"

namespace orvalt {

class StopRequestWatcher {
  public:
    // `wake` runs on the watcher's thread after each request.
    StopRequestWatcher(StopRequest& request, std::function<void()> wake);
    // Ends and joins the watcher's thread.
    ~StopRequestWatcher();
    StopRequestWatcher(const StopRequestWatcher&) = delete;
    StopRequestWatcher& operator=(const StopRequestWatcher&) = delete;

  private:
    void Watch();

    StopRequest& request_;
    std::function<void()> wake_;
    EventFd quit_;
    std::thread thread_;
};

}  // namespace orvalt
