#pragma once
// Ending the program from outside as "Close" ends it: SIGTERM (a session's end,
// kill), SIGINT (Ctrl+C in a terminal) and SIGHUP (the terminal went away) run
// the window's close sequence, so the run is stopped, the link closed and the
// settings saved. The first such signal puts the former handlers back, so a
// second one ends the program at once if the close cannot finish.

#include <QSocketNotifier>
#include <functional>

#include "platform/TerminationEvent.h"

namespace orvalt {

class TerminationSignals {
  public:
    // `onSignal` runs on the thread of the event loop that owns this object.
    explicit TerminationSignals(std::function<void()> onSignal);
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

  private:
    TerminationEvent event_;
    QSocketNotifier notifier_;
    std::function<void()> onSignal_;
};

}  // namespace orvalt
