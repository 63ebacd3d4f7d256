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

UsbOpenResult UsbConnector::OpenFirstU3() {
    UsbOpenResult first;
    const UsbStatus bus = VisitEachU3([&first](UsbOpenResult& claim) {
        if (claim.status == UsbStatus::ok) {
            first = std::move(claim);
            return true;
        }
        first.status = MoreTellingOpenFailure(first.status, claim.status);
        return false;
    });
    return bus == UsbStatus::ok ? std::move(first) : UsbOpenResult{bus, nullptr};
}

}  // namespace orvalt
