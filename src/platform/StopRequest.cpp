#include "platform/StopRequest.h"

namespace orvalt {

void StopRequest::Request() {
    requested_.store(true);
    SignalEventFd(wake_.Fd());
}

}  // namespace orvalt
