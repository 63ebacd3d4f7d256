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

UsbClaim UsbConnector::OpenFirstU3() {
    std::unique_ptr<UsbTransport> first;
    UsbStatus failure = UsbStatus::notFound;
    const UsbStatus bus = VisitEachU3([&](UsbClaim& claim) {
        if (claim) {
            first = std::move(claim).Value();
            return true;
        }
        failure = MoreTellingOpenFailure(failure, claim.Error());
        return false;
    });
    if (bus != UsbStatus::ok) {
        return Fail(bus);
    }
    return first ? UsbClaim(std::move(first)) : UsbClaim(Fail(failure));
}

}  // namespace orvalt
