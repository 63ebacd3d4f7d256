#pragma once
// Ending the program from outside as "Close" ends it: SIGTERM (a session's end,
// kill), SIGINT (Ctrl+C in a terminal) and SIGHUP (the terminal went away) run
// the window's close sequence, so the run is stopped, the link closed and the
// settings saved. The first such signal puts the former handlers back, so a
// second one ends the program at once if the close cannot finish.

#include <QSocketNotifier>
#include <array>
#include <csignal>
#include <functional>

#include "platform/EventFd.h"

namespace orvalt {

class TerminationSignals {
  public:
    // `onSignal` runs on the thread of the event loop that owns this object.
    explicit TerminationSignals(std::function<void()> onSignal);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

  private:
    void Restore();

    EventFd event_;
    QSocketNotifier notifier_;
    std::function<void()> onSignal_;
    std::array<struct sigaction, 3> previous_{};
    bool installed_ = false;
};

}  // namespace orvalt
