#include "ui/TerminationSignals.h"

namespace orvalt {

TerminationSignals::TerminationSignals(std::function<void()> onSignal)
    : notifier_(event_.Fd(), QSocketNotifier::Read), onSignal_(std::move(onSignal)) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] {
        event_.Drain();
        event_.LetGo();
        onSignal_();
    });
}

}  // namespace orvalt
