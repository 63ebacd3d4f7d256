#pragma once
// SIGTERM (a session's end, kill), SIGINT (Ctrl+C in a terminal) and SIGHUP
// (the terminal went away) turned into an event an event loop can wait on, for
// a program that ends through its own close sequence rather than in the
// handler. Letting go puts the former handlers back, so a second signal ends
// the program at once if the close cannot finish.

#include <array>
#include <csignal>

#include "platform/EventFd.h"
#include "platform/ProcessSignals.h"

namespace orvalt {

class TerminationEvent {
  public:
    TerminationEvent();
    ~TerminationEvent();
    TerminationEvent(const TerminationEvent&) = delete;
    TerminationEvent& operator=(const TerminationEvent&) = delete;

    // Readable once a signal came, until Drain.
    int Fd() const { return event_.Fd(); }
    void Drain() { event_.Drain(); }
    // Puts the former handlers back; later signals act as they did before.
    void LetGo();

  private:
    EventFd event_;
    std::array<struct sigaction, kTerminationSignals.size()> previous_{};
    bool installed_ = false;
};

}  // namespace orvalt
