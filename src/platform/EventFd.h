#pragma once
// A wake-up signal that poll can wait on beside a device: the stop, data and
// space events of the diagnostic link. Signal makes the fd readable until Drain
// (an automatic-reset event drains after each wake-up; a manual-reset one, such
// as a stop signal, is simply never drained).

#include "platform/UniqueFd.h"

namespace orvalt {

class EventFd {
  public:
    EventFd();

    bool Valid() const { return fd_.Valid(); }
    int Fd() const { return fd_.Get(); }
    void Signal();
    void Drain();

  private:
    UniqueFd fd_;
};

// Signals the event behind `fd`; safe inside a signal handler.
void SignalEventFd(int fd);

}  // namespace orvalt
