#include "platform/UsbTransport.h"

namespace orvalt {

namespace {
int Rank(UsbStatus status) {
    switch (status) {
        case UsbStatus::notFound:
            return 0;
        case UsbStatus::busy:
            return 3;
        case UsbStatus::access:
            return 2;
        default:
            return 1;
    }
}
}  // namespace

UsbStatus MoreTellingOpenFailure(UsbStatus a, UsbStatus b) {
    return Rank(b) > Rank(a) ? b : a;
}

}  // namespace orvalt
